#!/usr/bin/env bash
# The soak run: builds the optimised configuration and drives the real menu
# with the default pictures on a private Xvfb at 1920x1080 for 20,000 frames
# (12 to 20 minutes here; FRAMES=N for fewer, SEED=N to repeat a run), moving
# the pointer over and between the buttons and clicking often, then Escape.
# Fails if the menu stops early or exits non-zero, prints a wrong, missing or
# extra line for a click, or its resident memory grows by 1 MiB or more after
# frame 100 (scripts/soak_driver.py does the driving and the checks). The
# menu's output is left in build/release/soak/.
set -euo pipefail
cd "$(dirname "$0")/.."

frames=${FRAMES:-20000}
scripts/install-deps.sh soak
scripts/build.sh release -DCMAKE_BUILD_TYPE=Release

pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
build/release/tools/rgbatool defaults "$pictures" \
  || { echo "soak: making the default pictures failed" >&2; exit 1; }

scripts/with-xvfb.sh python3 scripts/soak_driver.py build/release/tarnwick "$pictures" \
  build/release/bench/libframewatch.so "$frames" build/release/soak \
  || { echo "soak: the soak run failed" >&2; exit 1; }
