#!/usr/bin/env bats
# The menu as a user runs it, on a private X server: what it prints, what a click reports,
# how it ends, and how it copes with the desktop around it.

load common

setup() {
  start_x_server
}

teardown() {
  end_background_programs
}

@test "a click on Observe prints its line and Escape ends the menu with 0" {
  start_menu
  click_on Observe
  press_escape
  assert_menu_ends_with 0
  run tail -n 1 "$MENU_OUT"
  assert_output "Pressing button 4: Observe"
}
