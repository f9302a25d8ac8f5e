#!/usr/bin/env bash
# Installs the Debian packages that the named tasks need, each task with what it builds on:
#   run       building and running the menu and rgbatool
#   demo      the headless demo (a private X server, real input, a screenshot)
#   test      scripts/test.sh: the suite, its format check, the install and package test
#   bench     scripts/bench.sh
#   soak      scripts/soak.sh
#   valgrind  scripts/valgrind.sh
#   package   dpkg-buildpackage -b -us -uc: the Debian packages, and lintian to judge them
#   chroot    scripts/test-on.sh and try-packages.sh: chroots of other Debian releases
#   foreign   scripts/try-arch.sh: programs of other architectures run through qemu
#   arches    scripts/test-arches.sh: cross compilers, qemu and GoogleTest's source
# Idempotent and non-interactive: it does nothing when all packages are present.
# Usage: scripts/install-deps.sh TASK...
set -euo pipefail

run=(
  build-essential cmake ninja-build pkg-config
  libglfw3-dev libx11-dev libxrandr-dev python3-glad libgl1-mesa-dri libgl-dev
  libcairo2-dev libfontconfig-dev libfreetype-dev libpng-dev fonts-dejavu-core
)
display=(xvfb xdotool)
# The benchmarks and the soak and memory runs build on the suite's support code.
suite=(libgtest-dev)

[ $# -gt 0 ] || { echo "usage: scripts/install-deps.sh run|demo|test|bench|soak|valgrind|package|chroot|foreign|arches..." >&2; exit 2; }
packages=()
for task in "$@"; do
  case $task in
    run) packages+=("${run[@]}") ;;
    demo) packages+=("${run[@]}" "${display[@]}" imagemagick) ;;
    test) packages+=("${run[@]}" "${display[@]}" "${suite[@]}" imagemagick clang-format shellcheck
                     bats bats-support bats-assert bats-file
                     openbox xterm x11-xserver-utils x11-utils dpkg-dev debhelper lintian file mandoc man-db groff-base bsdextrautils
                     weston xwayland faketime) ;;
    package) packages+=("${run[@]}" dpkg-dev debhelper lintian) ;;
    chroot) packages+=(debootstrap git) ;;
    foreign) packages+=(qemu-user-static binfmt-support) ;;
    arches) packages+=(g++ g++-aarch64-linux-gnu g++-powerpc64le-linux-gnu g++-s390x-linux-gnu
                       g++-riscv64-linux-gnu g++-i686-linux-gnu qemu-user-static googletest) ;;
    bench) packages+=("${run[@]}" "${display[@]}" "${suite[@]}" apitrace) ;;
    soak) packages+=("${run[@]}" "${display[@]}" "${suite[@]}" python3) ;;
    valgrind) packages+=("${run[@]}" "${display[@]}" "${suite[@]}" valgrind) ;;
    *) echo "install-deps: unknown task '$task' (run, demo, test, bench, soak, valgrind, package, chroot, foreign, arches)" >&2; exit 2 ;;
  esac
done

missing=()
for package in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq || { echo "install-deps: apt-get update failed" >&2; exit 1; }
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null \
  || { echo "install-deps: apt-get install failed for: ${missing[*]}" >&2; exit 1; }
