# What the scripts and tests that drive the real menu share. Source it.

# wait_for_menu ERR-FILE PID [SECONDS]: waits until the menu whose standard
# error goes to ERR-FILE is in its frame loop; fails when it ended first or
# the time ran out (default 120 s, counted in sleeps: dash has no $SECONDS).
wait_for_menu() {
  local tenths=$((${3:-120} * 10))
  until grep -qs "Starting render loop" "$1"; do
    kill -0 "$2" 2>/dev/null || { echo "the menu ended during start-up" >&2; return 1; }
    [ "$tenths" -gt 0 ] || { echo "the menu did not reach its frame loop" >&2; return 1; }
    tenths=$((tenths - 1))
    sleep 0.1
  done
}

# button_at INDEX WIDTH HEIGHT: prints "x y", the pixel at the drawn centre of
# button INDEX (0-7, left column then right, top to bottom) on a screen of
# that size, for the panel at the middle of its breathing.
button_at() {
  awk -v i="$1" -v w="$2" -v h="$3" 'BEGIN {
    px = (i < 4 ? 0.1 : 0.6) + 0.15; py = 0.85 - 0.2 * (i % 4)
    distance = 3.5 - 0.75 * (0.25 + 0.2)
    printf "%d %d\n", (3.73868537 * 0.75 * (px - 0.5) / distance + 1) / 2 * w,
                      (1 - 6.64655161 * 0.75 * (py - 0.5) / distance) / 2 * h }'
}
