#!/usr/bin/env bash
# The real menu on the X display in DISPLAY, each figure next to a floor:
# - start to the first frame (and the processor time of all threads till then,
#   which other load on the machine sways less) and peak resident memory,
#   against bench_start_floor (the same full-screen window, the same nine
#   pictures read into one buffer and uploaded with their mipmaps, one cleared
#   frame); the two run alternately, RUNS times each (default 9), after one
#   unmeasured run of each, and the medians are compared;
# - time per frame over FRAMES frames (default 300), against apitrace's replay
#   of the menu's own GL call stream, which costs the GL work with none of the
#   menu's own CPU work.
# Usage: scripts/bench-menu.sh BUILD-DIR PICTURE-FOLDER
set -euo pipefail
. "$(dirname "$0")/menu.sh"

build=$(realpath "$1")
pictures=$(realpath "$2")
runs=${RUNS:-9}
frames=${FRAMES:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

value() { awk -v key="$2" '$1 == key { print $2 }' "$1" 2>/dev/null; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
fail() { echo "bench-menu: $1" >&2; cat "$work/err" >&2; exit 1; }

# watched WATCH-FILE PROGRAM: starts PROGRAM in the picture folder with the frame
# watcher writing to WATCH-FILE; its pid is left in $pid.
watched() {
  rm -f "$1"
  (cd "$pictures" && LD_PRELOAD="$build/bench/libframewatch.so" TARNWICK_FRAMEWATCH="$1" \
    exec "$2" >/dev/null 2>"$work/err") &
  pid=$!
}

# close_menu: presses Escape until the menu ends; fails if it fails.
close_menu() {
  while kill -0 "$pid" 2>/dev/null; do
    xdotool key Escape
    sleep 0.2
  done
  wait "$pid" || fail "the menu failed"
}

for run in $(seq 0 "$runs"); do
  watched "$work/menu.$run" "$build/tarnwick"
  wait_for_menu "$work/err" "$pid" || fail "the menu did not start"
  close_menu
  watched "$work/floor.$run" "$build/bench/bench_start_floor"
  wait "$pid" || fail "the start floor failed"
done
# runs_median NAME KEY: the median of KEY over the measured runs (run 0 warmed the caches).
runs_median() { for run in $(seq 1 "$runs"); do value "$work/$1.$run" "$2"; done | median; }

watched "$work/frames" "$build/tarnwick"
wait_for_menu "$work/err" "$pid" || fail "the menu did not start"
until [ "$(value "$work/frames" frames || true)" -ge "$frames" ] 2>/dev/null; do
  kill -0 "$pid" 2>/dev/null || fail "the menu stopped early"
  sleep 0.5
done
close_menu

# The same GL stream, recorded and replayed: (all frames - first 20 frames) / the frames between.
(cd "$pictures" && exec apitrace trace --api gl -o "$work/menu.trace" "$build/tarnwick" >/dev/null 2>"$work/err") &
pid=$!
wait_for_menu "$work/err" "$pid" || fail "the traced menu did not start"
sleep 8
close_menu
apitrace trim --frames=0-19 -o "$work/first20.trace" "$work/menu.trace" >/dev/null 2>&1
replay() { glretrace --benchmark "$1" 2>/dev/null | awk '/^Rendered/ { print $2, $5 }'; }
read -r all_frames all_seconds <<<"$(replay "$work/menu.trace")"
read -r first_frames first_seconds <<<"$(replay "$work/first20.trace")"
replay_ms=$(awk -v all_seconds="$all_seconds" -v first_seconds="$first_seconds" \
  -v all_frames="$all_frames" -v first_frames="$first_frames" \
  'BEGIN { printf "%.3f", (all_seconds - first_seconds) * 1000 / (all_frames - first_frames) }')

line() { awk -v what="$1" -v value="$2" -v unit="$3" -v floor_name="$4" -v floor="$5" \
  'BEGIN { printf "%-34s %9.1f %s   floor (%s) %9.1f %s   ratio %.2f\n", what, value, unit, floor_name, floor, unit, value / floor }'; }
line "start to first frame (median of $runs)" "$(runs_median menu first_frame_ms)" ms \
  "window + read and upload the nine pictures" "$(runs_median floor first_frame_ms)"
line "  processor time till then" "$(runs_median menu first_frame_cpu_ms)" ms \
  "the same" "$(runs_median floor first_frame_cpu_ms)"
mib() { awk -v kib="$1" 'BEGIN { print kib / 1024 }'; }
line "peak resident memory (median of $runs)" "$(mib "$(runs_median menu peak_rss_kib)")" MiB \
  "window + read and upload the nine pictures" "$(mib "$(runs_median floor peak_rss_kib)")"
line "time per frame" "$(value "$work/frames" frame_ms)" ms "glretrace replay of the same calls" "$replay_ms"
