#!/usr/bin/env bash
# Memcheck over a short run of the real menu: builds the debug configuration,
# runs the menu under valgrind on a private Xvfb with the default pictures (so
# that loading them is checked too), clicks "Observe" until the click is
# reported, lets a few more frames pass and presses Escape. Takes a few
# minutes; start-up alone runs about a minute under memcheck. Fails if memcheck
# finds any error or definite leak that scripts/valgrind.supp does not
# name as driver noise, if the menu fails or misses the click, or if it showed
# fewer than 3 frames. The whole report is left in build/debug/valgrind.log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/menu.sh

if [ "${1:-}" != --on-display ]; then
  scripts/install-deps.sh valgrind
  cmake -S . -B build/debug -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_WERROR=ON >/dev/null \
    || { echo "valgrind: configuring build/debug failed" >&2; exit 1; }
  cmake --build build/debug --target tarnwick rgbatool framewatch \
    || { echo "valgrind: building build/debug failed" >&2; exit 1; }
  exec scripts/with-xvfb.sh "$0" --on-display
fi

log=$root/build/debug/valgrind.log
dir=$(mktemp -d)
menu=""
trap '[ -n "$menu" ] && kill "$menu" 2>/dev/null; rm -rf "$dir"' EXIT
build/debug/tools/rgbatool defaults "$dir" \
  || { echo "valgrind: making the default pictures failed" >&2; exit 1; }

fail() {
  echo "valgrind: $1" >&2
  echo "--- menu standard error" >&2
  cat "$dir/err" >&2
  exit 1
}

# The frame watcher counts the frames shown.
(cd "$dir" && exec env TARNWICK_FRAMEWATCH="$dir/frames" \
  LD_PRELOAD="$root/build/debug/bench/libframewatch.so" \
  valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
    --show-leak-kinds=definite --errors-for-leak-kinds=definite --keep-debuginfo=yes \
    --suppressions="$root/scripts/valgrind.supp" --gen-suppressions=all \
    --num-callers=50 --log-file="$log" "$root/build/debug/tarnwick" >"$dir/out" 2>"$dir/err") &
menu=$!

wait_for_menu "$dir/err" "$menu" 600 || fail "see $log"
loop_at=$SECONDS

# The middle of the "Observe" face.
read -r observe_x observe_y < <(button_at 4 1920 1080)
xdotool mousemove "$observe_x" "$observe_y"
until grep -q "Pressing button 4: Observe" "$dir/out"; do
  kill -0 "$menu" 2>/dev/null || fail "the menu ended in its frame loop; see $log"
  [ $SECONDS -lt $((loop_at + 600)) ] || fail "no click on Observe was reported in 10 minutes"
  xdotool click 1
  sleep 3
done
# The first frame also compiles the driver's shaders, so it is the slowest:
# waiting as long again gives a few more.
sleep $((SECONDS - loop_at))
xdotool key Escape

for _ in $(seq 600); do
  kill -0 "$menu" 2>/dev/null || break
  sleep 1
done
kill -0 "$menu" 2>/dev/null && fail "the menu did not exit within 10 minutes of Escape"
set +e
wait "$menu"
status=$?
set -e
menu=""

frames=$(awk '$1 == "frames" { print $2 }' "$dir/frames" 2>/dev/null || true)
summary=$(grep -h "ERROR SUMMARY" "$log" | sed 's/^==[0-9]*== //' || true)
echo "valgrind: $((SECONDS / 60)) min $((SECONDS % 60)) s, ${frames:-no} frames; $summary"
case $status in
  0) ;;
  99) grep -E -A4 "^==[0-9]+== (Invalid|Conditional|Use of|Syscall|Mismatched|Source and|.*definitely lost in)" \
        "$log" | grep -v "^[{}]" >&2 || true
      fail "memcheck found errors outside the suppressed driver noise; see $log" ;;
  *) fail "the menu exited with status $status; see $log" ;;
esac
[ "${frames:-0}" -ge 3 ] || fail "the menu showed only ${frames:-0} frames, 3 at least were wanted"
echo "valgrind: passed"
