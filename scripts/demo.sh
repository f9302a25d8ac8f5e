#!/usr/bin/env bash
# The headless demo, on the X display in DISPLAY (1920x1080): runs the menu,
# moves the pointer onto "Observe", clicks, saves a screenshot, presses Escape,
# prints the menu's output and where the screenshot is, and exits with the
# menu's status. It waits up to START-SECONDS (default 120) for the menu to start.
# Usage: scripts/demo.sh path/to/tarnwick picture-dir [START-SECONDS]
set -euo pipefail
. "$(dirname "$0")/menu.sh"

binary=$(realpath "$1")
dir=$(realpath "$2")
shot="$dir/screenshot.png"
out="$dir/menu.out"
err="$dir/menu.err"

(cd "$dir" && exec "$binary" >"$out" 2>"$err") &
menu=$!
if ! wait_for_menu "$err" "$menu" "${3:-120}"; then
  kill "$menu" 2>/dev/null || true
  wait "$menu" || true
  cat "$out" "$err"
  exit 1
fi

# Click only once a frame drawn with the pointer over Observe is on screen, however slow the
# frames: a frame reads the pointer as it begins. Every frame changes the screen (the background
# drifts), so after a baseline taken once the pointer is there, the second change shows a frame
# begun after the first change was put on screen, and so after the move. A menu that has ended,
# or shown nothing new for two minutes, is clicked at once: its output says what happened.
read -r observe_x observe_y < <(button_at 4 1920 1080)
xdotool mousemove "$observe_x" "$observe_y"
screen() { import -window root rgb:- | md5sum; }
shown=$(screen)
give_up=$((SECONDS + 120))
for _ in "first change" "second change"; do
  while now=$(screen) && [ "$now" = "$shown" ]; do
    if ! kill -0 "$menu" 2>/dev/null || [ "$SECONDS" -ge "$give_up" ]; then
      break 2
    fi
  done
  shown=$now
done
xdotool click 1 sleep 0.3
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
