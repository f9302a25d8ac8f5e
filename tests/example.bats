#!/usr/bin/env bats
# The example application behind the menu (examples/menu-app.sh), as its user runs it.

load common

EXAMPLE=$REPO_ROOT/examples/menu-app.sh
EXAMPLE_OUT=$BATS_TEST_TMPDIR/example.out
EXAMPLE_ERR=$BATS_TEST_TMPDIR/example.err

setup() {
  start_x_server
}

teardown() {
  end_background_programs
}

# start_example [FOLDER]: starts the example on the menu in FOLDER (the default pictures
# unless given), its process in EXAMPLE_PID, and waits until the menu draws frames.
start_example() {
  # A script's background job starts with INT ignored, which no trap can undo; the example
  # run from a terminal has it as a user's Ctrl-C sends it.
  env --default-signal "$EXAMPLE" "$TARNWICK" "${1:-$PICTURES}" >"$EXAMPLE_OUT" 2>"$EXAMPLE_ERR" 3>&- &
  EXAMPLE_PID=$!
  BACKGROUND_PIDS+=("$EXAMPLE_PID")
  # The example passes the menu's diagnostics on to its standard error.
  wait_for_menu "$EXAMPLE_ERR" "$EXAMPLE_PID" || fail "the menu did not start: $(cat "$EXAMPLE_ERR")"
}

@test "the example acts on each click, passes the menu's diagnostics on, and ends the menu on Quit" {
  copy_pictures missing_start
  rm missing_start/output_start.rgba
  start_example missing_start
  click_on Observe
  click_on Quit
  assert_ends_with "$EXAMPLE_PID" 0
  run cat "$EXAMPLE_OUT"
  assert_output "app: Observe chosen
app: Quit chosen, ending the menu"
  run grep --after-context=1 --line-regexp "Reading output_start.rgba graphic." "$EXAMPLE_ERR"
  assert_output "Reading output_start.rgba graphic.
open: No such file or directory"
  run pgrep --exact tarnwick --parent "$EXAMPLE_PID"
  assert_failure
}

@test "TERM, INT and HUP each end the example and take its menu with it" {
  for signal in TERM INT HUP; do
    start_example
    local menu_pid
    menu_pid=$(pgrep --exact tarnwick --parent "$EXAMPLE_PID")
    kill -s "$signal" "$EXAMPLE_PID"
    assert_ends_with "$EXAMPLE_PID" $((128 + $(kill -l "$signal")))
    run kill -0 "$menu_pid"
    assert_failure
  done
}

@test "the example without arguments prints its usage and exits 2" {
  run "$EXAMPLE"
  assert_failure 2
  assert_output "usage: examples/menu-app.sh path/to/tarnwick [picture-folder]"
}

@test "the example says plainly that the menu failed to start, and passes its status on" {
  DISPLAY='' run "$EXAMPLE" "$TARNWICK" "$PICTURES"
  assert_failure 255
  assert_line "main: Trouble initializing glfw."
  assert_line "app: the menu failed to start; the lines above say why"
}
