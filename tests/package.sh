#!/usr/bin/env bash
# Guards: the install unusable from another project; a .deb without its dependencies or programs,
# or whose menu fails the headless demo.
set -euxo pipefail
s=${0%/*}/..
t=$(mktemp -d)
trap 'rm -rf $t' EXIT
cmake --install "$1" --prefix $t/p
cmake -S "$s/examples/rotor" -B $t/e -DCMAKE_PREFIX_PATH=$t/p
cmake --build $t/e
[ "$($t/e/rotor)" = "(-2, 1, 3)" ]
cpack -G DEB -B $t --config "$1/CPackConfig.cmake"
dpkg-deb -f $t/*.deb Depends | grep libglfw3
dpkg-deb -x $t/*.deb $t/r
cd $t/r
usr/bin/rgbatool defaults .
# The demo's click is reported, its screenshot shows the menu (a blank one takes a few kB).
"$s/scripts/demo.sh" usr/bin/tarnwick . >out
grep -x "Pressing button 4: Observe" out
[ "$(stat -c %s screenshot.png)" -gt 200000 ]
