#!/usr/bin/env bash
# Builds the optimised configuration and runs every benchmark against a private
# Xvfb at 1920x1080. Each figure is printed next to a floor measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release -DCMAKE_BUILD_TYPE=Release
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
build/release/tools/rgbatool defaults "$pictures"

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(date -u +%Y-%m-%d)"
echo "== the menu: start, frames and memory"
scripts/with-xvfb.sh scripts/bench-menu.sh build/release "$pictures"
echo "== start-up, part by part (shader cache off, so programs really compile)"
MESA_SHADER_CACHE_DISABLE=true scripts/with-xvfb.sh build/release/bench/bench_startup "$pictures"
echo "== one frame in-process"
scripts/with-xvfb.sh build/release/bench/bench_frame
echo "== one background picture"
scripts/with-xvfb.sh build/release/bench/bench_loadtex
