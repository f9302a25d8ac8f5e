#!/usr/bin/env bash
# An application behind the menu: starts it, reacts to each click line the
# moment it arrives, passes every other line on to standard error so that its
# user sees why something failed, and ends the menu when "Quit" is pressed,
# when it ends itself and when it is stopped.
# Usage: examples/menu-app.sh path/to/tarnwick [picture-folder]
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: examples/menu-app.sh path/to/tarnwick [picture-folder]" >&2
  exit 2
fi
binary=$(realpath "$1")
cd "${2:-.}"

# Never leave the menu covering the desktop after us, nor end before it has
# gone. The traps are set before the menu starts, so that a stop during its
# start-up takes it along too.
menu=
trap 'if [ -n "$menu" ]; then kill "$menu" 2>/dev/null; wait "$menu"; fi || true' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
# Both of its streams come through the one pipe, so that its diagnostics keep
# their order: "open: ..." right after the name of the picture it concerns.
exec 3< <(exec "$binary" 2>&1)
menu=$!
while IFS= read -r line <&3; do
  case $line in
    "Pressing button 7: Quit")
      echo "app: Quit chosen, ending the menu"
      exit 0 ;;
    "Pressing button "[0-7]": "*)
      echo "app: ${line#Pressing button *: } chosen" ;;
    *)
      printf '%s\n' "$line" >&2 ;;
  esac
done

# The menu has ended by itself: say how, and pass its status on.
status=0
wait "$menu" || status=$?
menu=
case $status in
  0) echo "app: the menu ended without Quit" >&2
     exit 1 ;;
  255) echo "app: the menu failed to start; the lines above say why" >&2 ;;
  *) echo "app: the menu ended with status $status" >&2 ;;
esac
exit "$status"
