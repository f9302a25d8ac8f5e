#!/usr/bin/env bash
# Checks every shell file in the tree with shellcheck (settings in .shellcheckrc); prints
# what it finds. A shell file is one named *.sh, *.bash or *.bats, or one whose first line
# names a shell.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -co --exclude-standard | while IFS= read -r file; do
  case $file in
    *.sh | *.bash | *.bats) echo "$file" ;;
    *) head -n 1 "$file" 2>/dev/null | grep -qE '^#!.*(/|env )(ba|da)?sh\b' && echo "$file" ;;
  esac
done)
shellcheck "${files[@]}" \
  || { echo "check-shell: mend the findings above (${#files[@]} files checked)" >&2; exit 1; }
