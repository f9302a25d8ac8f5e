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

scripts/install-deps.sh
scripts/build.sh run -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF

mkdir -p "$menu_dir"
missing=()
for picture in start coord blank observe edit quit spinrgb; do
  [ -f "$menu_dir/output_$picture.rgba" ] || missing+=("output_$picture.rgba")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "run: adding default pictures to $menu_dir: ${missing[*]}"
  defaults=$(mktemp -d "$menu_dir/.defaults.XXXXXX")
  trap 'rm -rf "$defaults"' EXIT
  build/run/tools/rgbatool defaults "$defaults"
  for picture in "${missing[@]}"; do
    mv "$defaults/$picture" "$menu_dir/$picture"
  done
  rm -rf "$defaults"
  trap - EXIT
fi

if [ -n "${DISPLAY:-}" ]; then
  cd "$menu_dir"
  exec "$repo/build/run/tarnwick"
fi
exec scripts/with-xvfb.sh scripts/demo.sh build/run/tarnwick "$menu_dir"
