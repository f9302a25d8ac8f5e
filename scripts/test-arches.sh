#!/usr/bin/env bash
# Runs the tests of what must come out the same on every architecture, on five of them: the rotor
# library's (tests/test_rotor.cpp, its exact bits among them) and the pictures' byte order
# (tests/test_byteorder.cpp; s390x is big-endian). Other architectures than this machine's are
# cross-compiled with Debian's cross compilers and run under qemu-user with their C libraries. The
# library is compiled with the flags of its CMake target, at -O0 and at -O2, after -flto as a
# packager's flags may have it; the tests are linked with -flto. All lands in build/arches/.
# Usage: scripts/test-arches.sh [ARCH...]      (default: amd64 arm64 ppc64el s390x riscv64)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
"$repo/scripts/install-deps.sh" arches
[ $# -gt 0 ] || set -- amd64 arm64 ppc64el s390x riscv64

gtest=/usr/src/googletest/googletest
# The rotor library's own flags, as its target in CMakeLists.txt has them.
library_flags=(-ffp-contract=off -fno-lto)
warnings=(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)
host_arch=$(dpkg --print-architecture)
passed=0
failed=0

# compile ARCH OUTPUT FLAGS... SOURCES...: one program (or with -c, object) for ARCH.
compile() {
  local arch=$1 output=$2
  shift 2
  "$compiler" -std=c++17 -pthread -I"$repo/src" -isystem "$gtest/include" -o "$output" "$@" \
    || { echo "test-arches: $arch: building $(basename "$output") failed" >&2; exit 1; }
}

for arch in "$@"; do
  case $arch in
    amd64) triplet=x86_64-linux-gnu qemu=x86_64 ;;
    arm64) triplet=aarch64-linux-gnu qemu=aarch64 ;;
    ppc64el) triplet=powerpc64le-linux-gnu qemu=ppc64le ;;
    s390x) triplet=s390x-linux-gnu qemu=s390x ;;
    riscv64) triplet=riscv64-linux-gnu qemu=riscv64 ;;
    i386) triplet=i686-linux-gnu qemu=i386 ;;  # not among the default: see the README
    *) echo "test-arches: unknown architecture '$arch' (amd64, arm64, ppc64el, s390x, riscv64, i386)" >&2; exit 2 ;;
  esac
  compiler=$triplet-g++
  run=("qemu-$qemu-static" -L "/usr/$triplet")
  [ "$arch" != "$host_arch" ] || run=()
  out=$repo/build/arches/$arch
  mkdir -p "$out"
  echo "== $arch: building"
  # GoogleTest from its source, once for each architecture.
  if [ ! -e "$out/gtest.a" ]; then
    compile "$arch" "$out/gtest-all.o" -c -I"$gtest" "$gtest/src/gtest-all.cc"
    compile "$arch" "$out/gtest_main.o" -c -I"$gtest" "$gtest/src/gtest_main.cc"
    ar rcs "$out/gtest.a" "$out/gtest-all.o" "$out/gtest_main.o"
  fi
  # The tests are built once, as a program using the library may be: with the compiler's
  # defaults (which fuse multiply-adds where the processor has them) and link-time optimisation.
  for test in test_rotor test_byteorder; do
    compile "$arch" "$out/$test.o" -c -O2 -flto "${warnings[@]}" "$repo/tests/$test.cpp"
  done
  for level in -O0 -O2; do
    for module in ga dot norm3d; do
      compile "$arch" "$out/$module$level.o" -c "$level" -flto "${warnings[@]}" "${library_flags[@]}" \
        "$repo/src/$module.cpp"
    done
    compile "$arch" "$out/test_rotor$level" -O2 -flto "$out/test_rotor.o" \
      "$out"/{ga,dot,norm3d}"$level.o" "$out/gtest.a"
    compile "$arch" "$out/test_byteorder$level" "$level" -flto "${warnings[@]}" \
      "$out/test_byteorder.o" "$repo/src/le16_to_host.cpp" "$out/gtest.a"
  done
  for program in test_rotor-O0 test_rotor-O2 test_byteorder-O0 test_byteorder-O2; do
    echo "== $arch: $program"
    if "${run[@]}" "$out/$program" --gtest_brief=1; then
      passed=$((passed + 1))
    else
      echo "test-arches: $arch: $program failed" >&2
      failed=$((failed + 1))
    fi
  done
done
echo "test-arches: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
