#!/usr/bin/env bash
# An application behind the menu: starts it, reacts to each click line the
# moment it arrives, and ends the menu when "Quit" is pressed.
# Usage: examples/menu-app.sh path/to/tarnwick [picture-folder]
set -euo pipefail
binary=$(realpath "$1")
cd "${2:-.}"

exec 3< <(exec "$binary")  # its standard error (progress, failures) passes through
menu=$!
while read -r line <&3; do
  case $line in
    "Pressing button 7: Quit")
      echo "app: Quit chosen, ending the menu"
      kill "$menu"
      exit 0 ;;
    "Pressing button "[0-7]": "*)
      echo "app: ${line#Pressing button *: } chosen" ;;
  esac
done
echo "app: the menu ended without Quit" >&2
exit 1
