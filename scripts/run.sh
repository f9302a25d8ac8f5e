#!/usr/bin/env bash
# Installs what is needed, builds the menu and runs it in build/menu, making the
# default pictures there first if any is missing. With a display the menu opens
# on it; without one the headless demo runs instead (scripts/demo.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF

menu_dir=build/menu
mkdir -p "$menu_dir"
for picture in start coord blank observe edit quit spinrgb; do
  if [ ! -f "$menu_dir/output_$picture.rgba" ]; then
    echo "run: making the default pictures in $menu_dir"
    build/release/rgbatool defaults "$menu_dir"
    break
  fi
done

if [ -n "${DISPLAY:-}" ]; then
  cd "$menu_dir"
  exec ../release/tarnwick
fi
exec scripts/with-xvfb.sh scripts/demo.sh build/release/tarnwick "$menu_dir"
