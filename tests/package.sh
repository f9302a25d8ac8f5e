#!/usr/bin/env bash
# Guards: packages that do not build the Debian way or that lintian faults (a man page missing
# too); a -dev package unusable from CMake or pkg-config; a packaged menu failing the demo.
set -euxo pipefail
s=$(cd "${0%/*}/.." && pwd)
t=$(mktemp -d)
trap 'rm -rf $t' EXIT
# dpkg-buildpackage writes beside the tree: a copy, in here.
mkdir $t/src
(cd "$s" && git ls-files -co --exclude-standard | tar -cT - | tar -x -C $t/src)
(cd $t/src && dpkg-buildpackage -b -us -uc)
lintian --pedantic -I --fail-on error,warning,info,pedantic $t/tarnwick_*.deb $t/libtarnwick-rotor-dev_*.deb
for deb in $t/tarnwick_*.deb $t/libtarnwick-rotor-dev_*.deb; do dpkg-deb -x $deb $t/r; done
cd $t/r
[ "$(usr/bin/rgbatool --version)" = "rgbatool 1.0.0" ]
cmake -S "$s/examples/rotor" -B $t/e -DCMAKE_PREFIX_PATH=$t/r/usr
cmake --build $t/e
[ "$($t/e/rotor)" = "(-2, 1, 3)" ]
c++ -o $t/p "$s/examples/rotor/rotor.cpp" \
  $(PKG_CONFIG_PATH=$(echo $t/r/usr/lib/*/pkgconfig) pkg-config --cflags --libs tarnwick-rotor)
[ "$($t/p)" = "(-2, 1, 3)" ]
usr/bin/rgbatool defaults .
# The demo's click is reported; its screenshot is not blank (a few kB).
"$s/scripts/demo.sh" usr/bin/tarnwick . >out
grep -x "Pressing button 4: Observe" out
[ "$(stat -c %s screenshot.png)" -gt 200000 ]
