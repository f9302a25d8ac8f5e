#!/usr/bin/env bash
# Builds the optimised configuration and runs every benchmark against a private
# Xvfb at 1920x1080. Each figure is printed next to a floor measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release -DCMAKE_BUILD_TYPE=Release
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(date -u +%Y-%m-%d)"
for bench in build/release/bench/bench_*; do
  echo "== $(basename "$bench")"
  scripts/with-xvfb.sh "$bench"
done
