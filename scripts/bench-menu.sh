#!/usr/bin/env bash
# The real menu on the X display in DISPLAY: time from start to the first
# frame, time per frame and peak resident memory, each next to a floor. The
# floors: a bare full-screen GL window for the start and the memory, and for
# the frame apitrace's replay of the menu's own GL call stream, which costs the
# GL work with none of the menu's own CPU work.
# Usage: scripts/bench-menu.sh BUILD-DIR PICTURE-FOLDER
set -euo pipefail

build=$(realpath "$1")
pictures=$(realpath "$2")
frames=${FRAMES:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

watch_value() { awk -v key="$1" '$1 == key { print $2 }' "$work/watch" 2>/dev/null; }

# The menu with the frame watcher, for `frames` frames, then Escape.
(cd "$pictures" && LD_PRELOAD="$build/tests/libframewatch.so" TARNWICK_FRAMEWATCH="$work/watch" \
  exec "$build/tarnwick" >/dev/null 2>"$work/menu.err") &
menu=$!
until [ "$(watch_value frames || true)" -ge "$frames" ] 2>/dev/null; do
  kill -0 "$menu" 2>/dev/null || { echo "bench-menu: the menu stopped early:" >&2; cat "$work/menu.err" >&2; exit 1; }
  sleep 0.5
done
xdotool key Escape
wait "$menu" || { echo "bench-menu: the menu failed" >&2; exit 1; }

bare=$("$build/bench/bench_bare")
bare_value() { awk -v key="$1" '$1 == key { print $2 }' <<<"$bare"; }

# The same GL stream, recorded and replayed: (all frames - first 20 frames) / the frames between.
(cd "$pictures" && exec apitrace trace --api gl -o "$work/menu.trace" "$build/tarnwick" >/dev/null 2>"$work/trace.err") &
traced=$!
until grep -q "Starting render loop" "$work/trace.err" 2>/dev/null; do
  kill -0 "$traced" 2>/dev/null || { echo "bench-menu: the traced menu stopped early" >&2; exit 1; }
  sleep 0.5
done
sleep 8
xdotool key Escape
wait "$traced"
apitrace trim --frames=0-19 -o "$work/first20.trace" "$work/menu.trace" >/dev/null 2>&1
replay() { glretrace --benchmark "$1" 2>/dev/null | awk '/^Rendered/ { print $2, $5 }'; }
read -r all_frames all_seconds <<<"$(replay "$work/menu.trace")"
read -r first_frames first_seconds <<<"$(replay "$work/first20.trace")"
replay_ms=$(awk -v a="$all_seconds" -v b="$first_seconds" -v n="$all_frames" -v m="$first_frames" \
  'BEGIN { printf "%.3f", (a - b) * 1000 / (n - m) }')

line() { awk -v what="$1" -v v="$2" -v unit="$3" -v fname="$4" -v f="$5" \
  'BEGIN { printf "%-34s %9.1f %s   floor (%s) %9.1f %s   ratio %.2f\n", what, v, unit, fname, f, unit, v / f }'; }
line "start to first frame" "$(watch_value first_frame_ms)" ms "bare full-screen window" "$(bare_value first_frame_ms)"
line "time per frame" "$(watch_value frame_ms)" ms "glretrace replay of the same calls" "$replay_ms"
line "peak resident memory" "$(( $(watch_value peak_rss_kib) / 1024 ))" MiB "bare full-screen window" "$(( $(bare_value peak_rss_kib) / 1024 ))"
