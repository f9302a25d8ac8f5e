# What the bats files share: the bats libraries, a private X server for each test, the menu
# started in a folder of pictures and waited for, where each button is drawn, and the desktops
# to run it on. CTest names the programs under test (tests/CMakeLists.txt):
#   TARNWICK          the menu
#   RGBATOOL          the picture tool
#   PICTURES          a folder holding the default pictures, made once for the whole run
#   TARNWICK_PRELOAD  libraries the sanitizer build's menu must have preloaded, if any
#   SWAPINTERVAL      a library that, preloaded, holds the menu's start two seconds for clicks
#   GLFW_VERSION      the version of GLFW the menu was built against
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

# end_background_programs: ends whatever the test started, the X server last, so that what
# they started in turn ends with it. KILL, which nothing can ignore or hold up.
end_background_programs() {
  local index
  for ((index = ${#BACKGROUND_PIDS[@]} - 1; index >= 0; index--)); do
    kill -KILL "${BACKGROUND_PIDS[index]}" 2>/dev/null || true
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
# unless given) with those variables set, its standard error in MENU_ERR, its process in
# MENU_PID; does not wait for it. MENU_PRELOAD names a library to preload into it.
# MENU_STDOUT says where its standard output goes:
#   file            MENU_OUT (the default)
#   closed          nowhere: the descriptor is closed
#   full disk       /dev/full, where every write fails
#   pipe read once  a pipe whose reader keeps one line, in MENU_OUT, and goes away
launch_menu() {
  local folder=$PICTURES preload pipe=$BATS_TEST_TMPDIR/menu.pipe
  if [ $# -gt 0 ] && [ -d "$1" ]; then
    folder=$1
    shift
  fi
  # The sanitizer's runtime, if any, must come first.
  preload=${TARNWICK_PRELOAD:-}${TARNWICK_PRELOAD:+${MENU_PRELOAD:+:}}${MENU_PRELOAD:-}
  if [ "${MENU_STDOUT:-file}" = "pipe read once" ]; then
    mkfifo "$pipe"
    head -n 1 <"$pipe" >"$MENU_OUT" 3>&- &
    BACKGROUND_PIDS+=("$!")
  fi
  (
    cd "$folder" || exit
    case ${MENU_STDOUT:-file} in
      file) exec >"$MENU_OUT" ;;
      closed) exec >&- ;;
      "full disk") exec >/dev/full ;;
      "pipe read once") exec >"$pipe" ;;
    esac
    # Options such as --unset come first in env's command line.
    exec env "$@" ${preload:+"LD_PRELOAD=$preload"} "$TARNWICK"
  ) 2>"$MENU_ERR" 3>&- &
  MENU_PID=$!
  BACKGROUND_PIDS+=("$MENU_PID")
}

# start_menu [FOLDER] [VARIABLE=VALUE...]: launch_menu, then waits until it draws frames.
start_menu() {
  launch_menu "$@"
  wait_for_menu "$MENU_ERR" "$MENU_PID" || fail "the menu did not start: $(cat "$MENU_OUT" "$MENU_ERR")"
}

# still_running PID: whether the process runs; one that ended but was not yet waited for
# (a zombie) does not.
still_running() {
  local state
  state=$(ps -o stat= -p "$1") && [[ $state != Z* ]]
}

# assert_ends_with PID STATUS [SECONDS]: the process PID, started by this test, ends within
# SECONDS (60 unless given) with exit status STATUS.
assert_ends_with() {
  local pid=$1 tenths=$((${3:-60} * 10)) status=0
  while still_running "$pid" && [ "$tenths" -gt 0 ]; do
    tenths=$((tenths - 1))
    sleep 0.1
  done
  if still_running "$pid"; then
    fail "process $pid still runs"
    return 1
  fi
  wait "$pid" || status=$?
  assert_equal "$status" "$2"
}

# assert_menu_ends_with STATUS [SECONDS]: the menu ends with exit status STATUS; what it
# printed is shown if not.
assert_menu_ends_with() {
  assert_ends_with "$MENU_PID" "$@" || fail "$(printf 'the menu printed:\n%s\n%s' "$(cat "$MENU_OUT")" "$(cat "$MENU_ERR")")"
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

# start_window_manager: openbox on the test's X server, once it manages windows.
start_window_manager() {
  local tenths=100
  in_background openbox
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    [ "$tenths" -gt 0 ] || fail "openbox did not start"
    tenths=$((tenths - 1))
    sleep 0.1
  done
}

# start_wayland_desktop: a Wayland desktop (weston) in a window of the test's X server, with
# XWayland; WAYLAND_SOCKET_NAME names its socket in XDG_RUNTIME_DIR, XWAYLAND_DISPLAY its X
# display.
start_wayland_desktop() {
  local log=$BATS_TEST_TMPDIR/weston.log tenths=300
  export XDG_RUNTIME_DIR=$BATS_TEST_TMPDIR/runtime
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  WAYLAND_SOCKET_NAME=wayland-0
  in_background weston --backend=x11 --renderer=pixman --xwayland \
    --width="$SCREEN_WIDTH" --height="$SCREEN_HEIGHT" --socket="$WAYLAND_SOCKET_NAME" 2>"$log"
  until XWAYLAND_DISPLAY=$(sed -n 's/.*listening on display //p' "$log") && [ -n "$XWAYLAND_DISPLAY" ]; do
    [ "$tenths" -gt 0 ] || fail "weston did not start XWayland: $(cat "$log")"
    tenths=$((tenths - 1))
    sleep 0.1
  done
}
