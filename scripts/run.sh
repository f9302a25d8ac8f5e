#!/usr/bin/env bash
# Installs what is needed, builds the menu and runs it in a picture folder
# (build/menu unless one is given), first adding any default picture that is
# missing there; pictures already in the folder are kept. With a display the
# menu opens on it; without one the headless demo runs instead (scripts/demo.sh).
# Usage: scripts/run.sh [picture-folder]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
menu_dir=$(realpath -m "${1:-$repo/build/menu}")
cd "$repo"

# Without a display the headless demo needs its own X server, input and screenshot tools.
if [ -n "${DISPLAY:-}" ]; then scripts/install-deps.sh run; else scripts/install-deps.sh demo; fi
# A user's newer compiler may warn where this one does not: that is no reason to fail here.
scripts/build.sh run -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF -DTARNWICK_WERROR=OFF

mkdir -p "$menu_dir"
build/run/tools/rgbatool defaults "$menu_dir"

if [ -n "${DISPLAY:-}" ]; then
  cd "$menu_dir"
  exec "$repo/build/run/tarnwick"
fi
exec scripts/with-xvfb.sh scripts/demo.sh build/run/tarnwick "$menu_dir"
