#!/usr/bin/env bash
# The headless demo, on the X display in DISPLAY (1920x1080): runs the menu,
# moves the pointer onto "Observe", clicks, saves a screenshot, presses Escape,
# prints the menu's output and where the screenshot is, and exits with the
# menu's status.
# Usage: scripts/demo.sh path/to/tarnwick picture-dir
set -euo pipefail

binary=$(realpath "$1")
dir=$(realpath "$2")
shot="$dir/screenshot.png"
out="$dir/menu.out"
err="$dir/menu.err"

(cd "$dir" && exec "$binary" >"$out" 2>"$err") &
menu=$!

for _ in $(seq 600); do
  grep -q "Starting render loop" "$err" 2>/dev/null && break
  kill -0 "$menu" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q "Starting render loop" "$err" 2>/dev/null; then
  echo "demo: the menu did not reach its frame loop" >&2
  kill "$menu" 2>/dev/null || true
  wait "$menu" || true
  cat "$out" "$err"
  exit 1
fi

# The drawn centre of "Observe" (right column, top row) on a 1920x1080 screen.
xdotool mousemove 1171 242 sleep 0.5 click 1 sleep 0.3
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
