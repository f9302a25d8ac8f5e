#!/usr/bin/env bash
# Installs what is needed, checks every shell file with shellcheck and the
# tests' layout with clang-format, then builds three configurations (debug,
# optimised, and AddressSanitizer with UndefinedBehaviorSanitizer) with
# warnings as errors and runs the whole test suite of each: the bats files
# against X servers of their own, the GoogleTest suites against a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
echo "== shellcheck over every shell file"
scripts/check-shell.sh
echo "== format of the tests"
scripts/check-format.sh

configs=(
  "debug   -DCMAKE_BUILD_TYPE=Debug"
  "release -DCMAKE_BUILD_TYPE=Release"
  "asan    -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON -DTARNWICK_BENCH=OFF"
)
for config in "${configs[@]}"; do
  read -r name options <<<"$config"
  echo "== $name: build"
  # shellcheck disable=SC2086
  scripts/build.sh "$name" $options
  echo "== $name: test"
  scripts/with-xvfb.sh ctest --test-dir "build/$name" --output-on-failure -j2 --timeout 600 \
    || { echo "test: the $name tests failed" >&2; exit 1; }
done
echo "== all tests passed"
