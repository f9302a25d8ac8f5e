#!/usr/bin/env bash
# Configures and builds one configuration of tarnwick into build/<name>, with
# warnings as errors unless the options say -DTARNWICK_WERROR=OFF.
# Usage: scripts/build.sh <name> [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."

name=$1
shift
cmake -S . -B "build/$name" -G Ninja -Wno-dev -DTARNWICK_WERROR=ON "$@" >/dev/null \
  || { echo "build: configuring build/$name failed" >&2; exit 1; }
cmake --build "build/$name" \
  || { echo "build: building build/$name failed" >&2; exit 1; }
