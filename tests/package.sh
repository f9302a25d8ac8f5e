#!/usr/bin/env bash
# Guards: packages that do not build the Debian way, that lintian faults, or that lack a file,
# man page or version; a -dev package unusable from CMake or pkg-config; a packaged menu that
# fails the headless demo.
set -euxo pipefail
s=$(cd "${0%/*}/.." && pwd)
t=$(mktemp -d)
trap 'rm -rf $t' EXIT
# dpkg-buildpackage writes beside the tree it builds: a copy of it, in here.
mkdir $t/src
(cd "$s" && git ls-files -co --exclude-standard | tar -cT - | tar -x -C $t/src)
(cd $t/src && dpkg-buildpackage -b -us -uc >$t/build.log 2>&1) || { tail -n 30 $t/build.log; exit 1; }
lintian --pedantic -I --fail-on error,warning,info,pedantic $t/tarnwick_*.deb $t/libtarnwick-rotor-dev_*.deb
for deb in $t/tarnwick_*.deb $t/libtarnwick-rotor-dev_*.deb; do dpkg-deb -x $deb $t/r; done
cd $t/r
[ "$(usr/bin/rgbatool --version)" = "rgbatool 1.0.0" ]
for page in tarnwick rgbatool; do man -l usr/share/man/man1/$page.1.gz | grep -q EXAMPLES; done
lib=$(echo usr/lib/*/libtarnwick_math.a)
cmake -S "$s/examples/rotor" -B $t/e -DCMAKE_PREFIX_PATH=$t/r/usr
cmake --build $t/e
[ "$($t/e/rotor)" = "(-2, 1, 3)" ]
c++ -o $t/p "$s/examples/rotor/rotor.cpp" \
  $(PKG_CONFIG_PATH=$t/r/${lib%/*}/pkgconfig pkg-config --cflags --libs tarnwick-rotor)
[ "$($t/p)" = "(-2, 1, 3)" ]
usr/bin/rgbatool defaults .
# The demo's click is reported, its screenshot shows the menu (a blank one takes a few kB).
"$s/scripts/demo.sh" usr/bin/tarnwick . >out
grep -x "Pressing button 4: Observe" out
[ "$(stat -c %s screenshot.png)" -gt 200000 ]
