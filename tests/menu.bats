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

# The lines a start-up with every picture in place prints, but for the five that describe the
# driver (its OpenGL version, vendor, renderer, GL and GLSL versions), which differ from one
# machine to the next.
expected_start_up_lines() {
  echo "Compiled against GLFW $GLFW_VERSION"
  echo "Detected vidmode 1920x1080"
  echo "Setting resolution to 1920x1080"
  echo "Debugging has been enabled."
  echo "Compiling buttontex GLSL."
  echo "Compiling regtriangle GLSL."
  echo "Binding to GLSL Lights"
  echo "Binding to GLSL Materials"
  echo "Binding to GLSL Matrices."
  echo "Generating button textures."
  for picture in start coord blank blank observe edit blank quit; do
    echo "Reading output_$picture.rgba graphic."
    echo "Generating texture."
    echo "Completed mipmap."
  done
  echo "Generating background texture."
  echo "Reading output_spinrgb.rgba graphic."
  echo "Generating texture."
  echo "Completed mipmap."
}

# top_of_box_above X Y: the screen row where the box drawn over pixel (X, Y) begins: the row
# below the nearest pixel above it that shows the panel's neutral grey (the gold and the
# labels are not grey), looking at most 150 rows up.
top_of_box_above() {
  local x=$1 y=$2
  local first_row=$((y - 150))
  import -window root -depth 8 -crop "1x150+$x+$first_row" txt:- |
    awk -v first_row="$first_row" '
      /^[0-9]/ {
        split($2, rgb, /[(),]/)
        if (rgb[2] == rgb[3] && rgb[3] == rgb[4]) lowest_grey_row = substr($1, 3) + 0
      }
      END { print first_row + lowest_grey_row + 1 }'
}

# cpu_ticks PID: the processor time the process has used so far, in ticks of 1/100 s.
cpu_ticks() {
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

@test "a normal start prints its start-up lines and nothing else, not one GL error" {
  start_menu
  press_escape
  assert_menu_ends_with 0
  run grep --invert-match --extended-regexp "^(OpenGL version|Vendor|Renderer|Version)" "$MENU_OUT"
  assert_output "$(expected_start_up_lines)"
  run grep --count --extended-regexp "^(OpenGL version 4\.[5-9]|Vendor|Renderer|Version)" "$MENU_OUT"
  assert_output 5
  run cat "$MENU_ERR"
  assert_output "main: Preparing OpenGL primitives.
main: Starting render loop."
}

@test "a missing picture and a short one are named, and the menu runs without them" {
  copy_pictures broken_pictures
  rm broken_pictures/output_start.rgba
  truncate --size=8 broken_pictures/output_quit.rgba
  start_menu broken_pictures
  click_on Observe
  press_escape
  assert_menu_ends_with 0
  run grep --after-context=1 --line-regexp "Reading output_start.rgba graphic." "$MENU_OUT"
  assert_output "Reading output_start.rgba graphic.
Reading output_coord.rgba graphic."
  run grep --after-context=1 --line-regexp "Reading output_quit.rgba graphic." "$MENU_OUT"
  assert_output "Reading output_quit.rgba graphic.
Different sizes 8 compared to 8388608"
  run tail -n 1 "$MENU_OUT"
  assert_output "Pressing button 4: Observe"
  run cat "$MENU_ERR"
  assert_output "main: Preparing OpenGL primitives.
open: No such file or directory
main: Starting render loop."
}

@test "clicks before the first frame, on the gap between the columns and with the right button print nothing" {
  MENU_PRELOAD=$SWAPINTERVAL launch_menu
  xdotool search --sync --onlyvisible --name '^tarnwick$'
  click_on Observe
  click_on Observe
  run grep --count "Starting render loop" "$MENU_ERR"
  assert_output 0 # else the clicks came too late to test this
  wait_for_menu "$MENU_ERR" "$MENU_PID"
  xdotool mousemove $((SCREEN_WIDTH / 2)) $((SCREEN_HEIGHT / 2)) sleep 1 click 1
  point_at Observe
  xdotool click 3 sleep 0.5
  press_escape
  assert_menu_ends_with 0
  run grep "Pressing" "$MENU_OUT"
  assert_output ""
  # The frames are paced by the screen's refresh.
  run head -n 1 "$MENU_ERR"
  assert_output "swap interval 1"
}

@test "clicks made while the menu is stopped each print their own button" {
  start_menu
  kill -STOP "$MENU_PID"
  click_on Observe
  click_on Edit
  click_on Start
  kill -CONT "$MENU_PID"
  sleep 1
  press_escape
  assert_menu_ends_with 0
  run grep "Pressing" "$MENU_OUT"
  assert_output "Pressing button 4: Observe
Pressing button 5: Edit
Pressing button 0: Start"
}

@test "the button under the pointer is drawn lifted towards the viewer" {
  start_menu
  local observe_centre
  read -r -a observe_centre < <(button_at 4 "$SCREEN_WIDTH" "$SCREEN_HEIGHT")
  point_at Observe
  local lifted_top
  lifted_top=$(top_of_box_above "${observe_centre[@]}")
  xdotool mousemove $((SCREEN_WIDTH / 2)) $((SCREEN_HEIGHT / 2)) sleep 1
  local resting_top
  resting_top=$(top_of_box_above "${observe_centre[@]}")
  # Lifted, the box comes nearer and grows: its top edge rises by far more than the panel's
  # breathing moves it.
  assert [ "$lifted_top" -lt $((resting_top - 8)) ]
}

@test "without an X server the menu says why and exits 255" {
  launch_menu --unset=DISPLAY
  assert_menu_ends_with 255
  run cat "$MENU_OUT"
  assert_output "Compiled against GLFW $GLFW_VERSION"
  run cat "$MENU_ERR"
  assert_output "GLFW: X11: The DISPLAY environment variable is missing
main: Trouble initializing glfw."
}

@test "a GL older than 4.5 is named, and the menu exits 255" {
  launch_menu MESA_GL_VERSION_OVERRIDE=3.3
  assert_menu_ends_with 255
  run tail -n 1 "$MENU_OUT"
  assert_output "Trouble with call to glfwCreateWindow"
  run cat "$MENU_ERR"
  assert_line --index 0 "GLFW: GLX: Failed to create context: GLXBadFBConfig"
  assert_line --index 1 --regexp "^main: The menu needs OpenGL 4\.5 in the core profile, .*offers OpenGL 3\.3 .*glxinfo -B"
}

@test "with standard output closed the menu runs, and no line reaches its X connection" {
  MENU_STDOUT=closed start_menu
  click_on Observe
  press_escape
  assert_menu_ends_with 0
  run cat "$MENU_ERR"
  assert_output "main: Preparing OpenGL primitives.
main: Starting render loop."
}

@test "a click line that cannot be written on a full disk ends the menu with 1 and says why, once" {
  MENU_STDOUT="full disk" start_menu
  click_on Observe
  click_on Observe
  press_escape
  assert_menu_ends_with 1
  run cat "$MENU_ERR"
  assert_output "main: Preparing OpenGL primitives.
main: Starting render loop.
mouse_button_callback: Cannot report clicks on standard output: No space left on device"
}

@test "a click line that cannot be written into a closed pipe ends the menu with 1 and says why" {
  MENU_STDOUT="pipe read once" start_menu
  click_on Observe
  press_escape
  assert_menu_ends_with 1
  run tail -n 1 "$MENU_ERR"
  assert_output "mouse_button_callback: Cannot report clicks on standard output: Broken pipe"
  run cat "$MENU_OUT"
  assert_output "Compiled against GLFW $GLFW_VERSION"
}

@test "under a window manager the menu outlasts a window over it, rests while iconified and reports clicks" {
  start_window_manager
  start_menu
  xterm 3>&- &
  local xterm_over_the_menu=$!
  xdotool search --sync --onlyvisible --class xterm sleep 1
  kill "$xterm_over_the_menu"
  click_on Observe
  xdotool search --name '^tarnwick$' windowminimize sleep 1
  local cpu_before
  cpu_before=$(cpu_ticks "$MENU_PID")
  sleep 2
  # Drawing frames would take nearly all of these two seconds (200 ticks).
  assert [ $(($(cpu_ticks "$MENU_PID") - cpu_before)) -lt 40 ]
  xdotool search --name '^tarnwick$' windowactivate --sync sleep 1
  press_escape
  assert_menu_ends_with 0
  run tail -n 1 "$MENU_OUT"
  assert_output "Pressing button 4: Observe"
}

@test "without a window manager the menu takes the focus and follows a mode change after the clock was set back" {
  xrandr --newmode 1280x720 74.25 1280 1390 1430 1650 720 725 730 750
  xrandr --addmode screen 1280x720
  in_background xterm
  xdotool search --sync --onlyvisible --class xterm windowfocus --sync
  local fake_time=$BATS_TEST_TMPDIR/fake_time
  touch "$fake_time"
  # libfaketime hangs the start of a sanitized program; there the clock stays as it is.
  if [ -z "${TARNWICK_PRELOAD:-}" ]; then
    MENU_PRELOAD=$(echo /usr/lib/*/faketime/libfaketime.so.1)
  fi
  MENU_PRELOAD=${MENU_PRELOAD:-} start_menu FAKETIME_TIMESTAMP_FILE="$fake_time" \
    FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1
  echo "-1h" >"$fake_time"
  xrandr --output screen --mode 1280x720
  SCREEN_WIDTH=1280
  SCREEN_HEIGHT=720
  sleep 2
  click_on Observe
  press_escape
  assert_menu_ends_with 0
  run tail -n 1 "$MENU_OUT"
  assert_output "Pressing button 4: Observe"
}

@test "on a Wayland desktop the menu runs through XWayland, found by WAYLAND_DISPLAY or by its socket alone" {
  if [[ $GLFW_VERSION == 3.3.* ]]; then
    skip "GLFW $GLFW_VERSION has no Wayland platform to choose"
  fi
  start_wayland_desktop
  start_menu DISPLAY="$XWAYLAND_DISPLAY" WAYLAND_DISPLAY="$WAYLAND_SOCKET_NAME"
  click_on Observe
  press_escape
  assert_menu_ends_with 0
  run tail -n 1 "$MENU_OUT"
  assert_output "Pressing button 4: Observe"

  start_menu DISPLAY="$XWAYLAND_DISPLAY" --unset=WAYLAND_DISPLAY
  click_on Observe
  press_escape
  assert_menu_ends_with 0
  run tail -n 1 "$MENU_OUT"
  assert_output "Pressing button 4: Observe"
}
