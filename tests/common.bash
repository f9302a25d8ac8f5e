# What the bats files share: the bats libraries, a private X server for each test, the menu
# started in a folder of pictures and waited for, where each button is drawn, and the desktops
# to run it on. CTest names the programs under test (tests/CMakeLists.txt):
#   TARNWICK          the menu
#   RGBATOOL          the picture tool
#   PICTURES          a folder holding the default pictures, made once for the whole run
#   TARNWICK_PRELOAD  libraries the sanitizer build's menu must have preloaded, if any
# shellcheck shell=bash

bats_load_library bats-support
bats_load_library bats-assert
bats_load_library bats-file

REPO_ROOT=$(cd "$BATS_TEST_DIRNAME/.." && pwd)
# start_private_xvfb, wait_for_menu and button_at, shared with the scripts.
source "$REPO_ROOT/scripts/menu.sh"

SCREEN_WIDTH=1920
SCREEN_HEIGHT=1080
MENU_OUT=$BATS_TEST_TMPDIR/menu.out
MENU_ERR=$BATS_TEST_TMPDIR/menu.err
READY_LINE="main: Starting render loop."

# Everything a test started in the background, ended in teardown.
BACKGROUND_PIDS=()

# start_x_server [WIDTHxHEIGHT]: a private X server for this test alone; DISPLAY names it.
start_x_server() {
  local size=${1:-${SCREEN_WIDTH}x$SCREEN_HEIGHT}
  SCREEN_WIDTH=${size%x*}
  SCREEN_HEIGHT=${size#*x}
  start_private_xvfb "$BATS_TEST_TMPDIR/xvfb.log" "$size"
  BACKGROUND_PIDS+=("$XVFB_PID")
}

# end_background_programs: ends whatever the test started, the X server last.
end_background_programs() {
  local index
  for ((index = ${#BACKGROUND_PIDS[@]} - 1; index >= 0; index--)); do
    kill "${BACKGROUND_PIDS[index]}" 2>/dev/null || true
    wait "${BACKGROUND_PIDS[index]}" 2>/dev/null || true
  done
  BACKGROUND_PIDS=()
}

# in_background COMMAND...: starts COMMAND so that teardown ends it. Bats waits for whatever
# holds its descriptor 3, so the command must not inherit it.
in_background() {
  "$@" 3>&- &
  BACKGROUND_PIDS+=("$!")
}

# launch_menu [FOLDER] [VARIABLE=VALUE...]: starts the menu in FOLDER (the default pictures
# unless given) with those variables set, its output in MENU_OUT and MENU_ERR, its process in
# MENU_PID; does not wait for it.
launch_menu() {
  local folder=$PICTURES
  if [ $# -gt 0 ] && [ -d "$1" ]; then
    folder=$1
    shift
  fi
  (cd "$folder" && exec env ${TARNWICK_PRELOAD:+"LD_PRELOAD=$TARNWICK_PRELOAD"} "$@" "$TARNWICK") \
    >"$MENU_OUT" 2>"$MENU_ERR" 3>&- &
  MENU_PID=$!
  BACKGROUND_PIDS+=("$MENU_PID")
}

# start_menu [FOLDER] [VARIABLE=VALUE...]: launch_menu, then waits until it draws frames.
start_menu() {
  launch_menu "$@"
  wait_for_menu "$MENU_ERR" "$MENU_PID" || fail "the menu did not start: $(cat "$MENU_OUT" "$MENU_ERR")"
}

# assert_menu_ends_with STATUS [SECONDS]: the menu ends within SECONDS (60 unless given) with
# exit status STATUS; its output is shown if not.
assert_menu_ends_with() {
  local tenths=$((${2:-60} * 10)) status=0
  while kill -0 "$MENU_PID" 2>/dev/null && [ "$tenths" -gt 0 ]; do
    tenths=$((tenths - 1))
    sleep 0.1
  done
  kill -0 "$MENU_PID" 2>/dev/null && fail "the menu still runs: $(cat "$MENU_OUT" "$MENU_ERR")"
  wait "$MENU_PID" || status=$?
  assert_equal "$status" "$1"
}

# A button's index in the menu's own numbering: left column, then right, top to bottom.
button_index() {
  case $1 in
    Start) echo 0 ;;
    Coord) echo 1 ;;
    Observe) echo 4 ;;
    Edit) echo 5 ;;
    Quit) echo 7 ;;
    *) fail "no button is called $1" ;;
  esac
}

# point_at BUTTON: moves the pointer onto the middle of the button called BUTTON and waits
# a moment so that frames with the pointer there are shown.
point_at() {
  # shellcheck disable=SC2046 # button_at prints the two coordinates xdotool takes
  xdotool mousemove $(button_at "$(button_index "$1")" "$SCREEN_WIDTH" "$SCREEN_HEIGHT") sleep 1
}

# click_on BUTTON: points at the button called BUTTON and clicks it with the left button.
click_on() {
  point_at "$1"
  xdotool click 1 sleep 0.5
}

# press_escape: presses Escape, which ends the menu.
press_escape() {
  xdotool key Escape
}

# copy_pictures FOLDER: a copy of the default pictures in FOLDER, to be changed by the test.
copy_pictures() {
  mkdir -p "$1"
  cp "$PICTURES"/*.rgba "$1"
}
