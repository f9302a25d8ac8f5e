#!/usr/bin/env bash
# Checks that the tests keep the tree's layout (.clang-format); prints what differs.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files 'tests/*.cpp' 'tests/*.h' 'tests/*.c' 'examples/*.cpp')
clang-format --dry-run -Werror "${files[@]}" \
  || { echo "check-format: run clang-format -i on the files above" >&2; exit 1; }
