#!/usr/bin/env bash
# The headless demo, on the X display in DISPLAY (1920x1080): runs the menu,
# moves the pointer onto "Observe", clicks, saves a screenshot, presses Escape,
# prints the menu's output and where the screenshot is, and exits with the
# menu's status.
# Usage: scripts/demo.sh path/to/tarnwick picture-dir
set -euo pipefail
. "$(dirname "$0")/menu.sh"

binary=$(realpath "$1")
dir=$(realpath "$2")
shot="$dir/screenshot.png"
out="$dir/menu.out"
err="$dir/menu.err"

(cd "$dir" && exec "$binary" >"$out" 2>"$err") &
menu=$!
if ! wait_for_menu "$err" "$menu"; then
  kill "$menu" 2>/dev/null || true
  wait "$menu" || true
  cat "$out" "$err"
  exit 1
fi

xdotool mousemove $(button_at 4 1920 1080) sleep 0.5 click 1 sleep 0.3
import -window root "$shot"
xdotool key Escape

set +e
wait "$menu"
status=$?
set -e
echo "--- standard output"
cat "$out"
echo "--- standard error"
cat "$err"
echo "--- screenshot: $shot"
exit "$status"
