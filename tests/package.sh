#!/usr/bin/env bash
# Guards: packages that do not build the Debian way or that lintian faults (a man page missing
# too); man pages that warn or break a name a user copies; a -dev package unusable from CMake or
# pkg-config; a packaged menu failing the demo.
set -euxo pipefail
source_tree=$(cd "${0%/*}/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# What a page sets in bold or italics or protects from hyphenation with \%: file names,
# commands, messages, options; one a line, without their escapes.
literals() {
  {
    grep -oE '\\f[BI]([^\\]|\\[-%&e])*\\f[RP]|\\%([^ "\\]|\\.)+' "$1"
    grep -E '^\.(B|I|BR|RB|IR|RI|BI|IB) ' "$1" | sed -E 's/^\.[A-Z]+ //' | grep -oE '"[^"]+"|([^" \\]|\\.)+'
  } | sed -E 's/"//g; s/\\f[BIRP]//g; s/\\-/-/g; s/\\[%&]//g; s/\\e/\\/g; s/\\c$//; s/\\ / /g' \
    | sed -E 's/^ +| +$//g' | grep -E '[[:alnum:]]{3}' | sort -u
}

# The man pages render without a warning, and at 80 columns in the C locale every literal
# shows whole, as a user copies it: none is hyphenated across two lines.
for page in "$source_tree"/man/*.1; do
  groff -man -Tutf8 -ww -z "$page" 2>&1 | tee "$work/groff.log"
  [ ! -s "$work/groff.log" ]
  mandoc -Tlint -W warning "$page"
  lexgrog "$page"
  LC_ALL=C MANWIDTH=80 man -l "$page" 2>/dev/null | col -b | tr -s ' \t\n' ' ' >"$work/page.txt"
  literals "$page" | while IFS= read -r literal; do
    grep -qF -- "$literal" "$work/page.txt" || { echo "package: $page breaks $literal" >&2; exit 1; }
  done
done

# dpkg-buildpackage writes beside the tree: a copy, in here.
mkdir "$work/source"
(cd "$source_tree" && git ls-files -co --exclude-standard | tar -cT - | tar -x -C "$work/source")
(cd "$work/source" && dpkg-buildpackage -b -us -uc)
packages=("$work"/tarnwick_*.deb "$work"/libtarnwick-rotor-dev_*.deb)
lintian --pedantic -I --fail-on error,warning,info,pedantic "${packages[@]}"
for package in "${packages[@]}"; do
  dpkg-deb -x "$package" "$work/installed"
done
cd "$work/installed"
[ "$(usr/bin/rgbatool --version)" = "rgbatool 1.0.0" ]

# The rotor example builds against the -dev package through CMake and through pkg-config.
cmake -S "$source_tree/examples/rotor" -B "$work/example-cmake" -DCMAKE_PREFIX_PATH="$work/installed/usr"
cmake --build "$work/example-cmake"
[ "$("$work/example-cmake/rotor")" = "(-2, 1, 3)" ]
pkg_config_dir=$(echo "$work"/installed/usr/lib/*/pkgconfig)
read -r -a rotor_flags < <(PKG_CONFIG_PATH=$pkg_config_dir pkg-config --cflags --libs tarnwick-rotor)
c++ -o "$work/example-pkg-config" "$source_tree/examples/rotor/rotor.cpp" "${rotor_flags[@]}"
[ "$("$work/example-pkg-config")" = "(-2, 1, 3)" ]

# The packaged menu runs the demo: its click is reported, its screenshot is not blank.
usr/bin/rgbatool defaults .
"$source_tree/scripts/with-xvfb.sh" "$source_tree/scripts/demo.sh" usr/bin/tarnwick . >demo.out
grep -x "Pressing button 4: Observe" demo.out
[ "$(stat -c %s screenshot.png)" -gt 200000 ]
