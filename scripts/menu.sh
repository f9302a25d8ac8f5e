# What the scripts and tests that drive the real menu share. Source it.
# shellcheck shell=bash

# start_private_xvfb LOG-FILE [WIDTHxHEIGHT]: starts an Xvfb screen (1920x1080 unless
# given) on a display number nobody holds, exports DISPLAY for it and sets
# XVFB_PID; fails, with the server's log on standard error, if none starts.
start_private_xvfb() {
  local log=$1 size=${2:-1920x1080} number display_file
  display_file=$(mktemp)
  XVFB_PID=""
  # Pick a free display number ourselves: letting Xvfb probe numbers that are
  # taken can break the sockets of the server that has them. -noreset keeps the
  # server from resetting whenever its last client leaves, which would refuse
  # the next client for a moment.
  for number in $(seq 10 99); do
    [ -e "/tmp/.X$number-lock" ] && continue
    Xvfb ":$number" -displayfd 4 -screen 0 "${size}x24" -nolisten tcp -noreset \
      4>"$display_file" 2>"$log" 3>&- &
    XVFB_PID=$!
    wait_for_file "$display_file" "$XVFB_PID" 10 && break
    kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  done
  if [ -z "$XVFB_PID" ]; then
    echo "Xvfb did not start:" >&2
    cat "$log" >&2
    rm -f "$display_file"
    return 1
  fi
  DISPLAY=":$(head -n 1 "$display_file")"
  export DISPLAY
  rm -f "$display_file"
}

# wait_for_file FILE PID SECONDS: waits until FILE is not empty; fails when
# process PID ended first or the time ran out.
wait_for_file() {
  local tenths=$(($3 * 10))
  until [ -s "$1" ]; do
    kill -0 "$2" 2>/dev/null || return 1
    [ "$tenths" -gt 0 ] || return 1
    tenths=$((tenths - 1))
    sleep 0.1
  done
}

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
  awk -v button="$1" -v width="$2" -v height="$3" 'BEGIN {
    centre_x = (button < 4 ? 0.1 : 0.6) + 0.15
    centre_y = 0.85 - 0.2 * (button % 4)
    distance = 3.5 - 0.75 * (0.25 + 0.2)
    printf "%d %d\n", (3.73868537 * 0.75 * (centre_x - 0.5) / distance + 1) / 2 * width,
                      (1 - 6.64655161 * 0.75 * (centre_y - 0.5) / distance) / 2 * height }'
}
