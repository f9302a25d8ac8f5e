#!/usr/bin/env bash
# Builds the optimised configuration and runs every benchmark against a private
# Xvfb at 1920x1080. Each figure is printed next to a floor measured in the same
# run. BUILD_DIR=DIR runs them from an existing optimised build instead.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -n "${BUILD_DIR:-}" ]; then
  build=$(realpath "$BUILD_DIR")
else
  scripts/install-deps.sh bench
  scripts/build.sh release -DCMAKE_BUILD_TYPE=Release
  build=build/release
fi
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
"$build/tools/rgbatool" defaults "$pictures"

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(date -u +%Y-%m-%d)"
echo "== the menu: start, frames and memory"
scripts/with-xvfb.sh scripts/bench-menu.sh "$build" "$pictures"
echo "== start-up, part by part (shader cache off, so programs really compile)"
MESA_SHADER_CACHE_DISABLE=true scripts/with-xvfb.sh "$build/bench/bench_startup" "$pictures"
echo "== one frame in-process"
scripts/with-xvfb.sh "$build/bench/bench_frame"
echo "== one background picture"
scripts/with-xvfb.sh "$build/bench/bench_loadtex"
