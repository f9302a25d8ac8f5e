#!/usr/bin/env bash
# Tries the Debian packages on a bare system of a named Debian release, as a user there would get
# them: builds them in that release's chroot (see scripts/chroot.sh), installs them with
# `apt-get install ./*.deb` into a fresh chroot holding only the release's base system, and
# there runs the menu on an X server of this machine without a window manager: a mode change,
# a click on the drawn Observe, Escape. Then it purges them and checks that nothing is left.
# Usage: scripts/try-packages.sh RELEASE      (bookworm, trixie, ...; needs root)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
. "$repo/scripts/chroot.sh"
one_release try-packages.sh "$@"
fail() { echo "try-packages: $release: $*" >&2; exit 1; }

"$repo/scripts/install-deps.sh" chroot test
echo "== $release: building the packages"
dev_chroot "$release" "$repo" package
rm -f "$changes"/upper/root/*.deb
in_chroot "$base" "$changes" "${bare[@]}" bash -c \
  'cd /root/tarnwick && dpkg-buildpackage -b -us -uc >/root/build.log 2>&1' \
  || { tail -n 30 "$changes/upper/root/build.log"; fail "dpkg-buildpackage failed"; }

# A bare system: the base chroot with only what lands in this folder laid over it.
bare_system=$(mktemp -d "$chroots/$release/bare.XXXXXX")
trap 'rm -rf "$bare_system"' EXIT
mkdir -p "$bare_system/upper/root/menu"
cp "$changes"/upper/root/{tarnwick,libtarnwick-rotor-dev}_*.deb "$bare_system/upper/root/"
echo "== $release: apt-get install ./*.deb on a bare system"
in_chroot "$base" "$bare_system" "${bare[@]}" bash -euc '
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  cd /root && apt-get install -y -qq --no-install-recommends ./tarnwick_*.deb ./libtarnwick-rotor-dev_*.deb >/dev/null
  rgbatool defaults /root/menu >/dev/null' || fail "installing the packages failed"

echo "== $release: the menu follows a mode change and reports a click"
menu=$bare_system/upper/root/menu
"$repo/scripts/with-xvfb.sh" bash -euc '
  . "$1/scripts/menu.sh"
  . "$1/scripts/chroot.sh"
  xrandr --newmode 1280x720 74.25 1280 1390 1430 1650 720 725 730 750
  xrandr --addmode screen 1280x720
  in_chroot "$2" "$3" env -i "DISPLAY=$DISPLAY" PATH=/usr/bin:/bin \
    sh -c "cd /root/menu && exec tarnwick >out 2>err" &
  wait_for_menu "$4/err" $!
  xrandr --output screen --mode 1280x720
  xdotool sleep 2 mousemove $(button_at 4 1280 720) sleep 1 click 1 sleep 0.5 key Escape
  wait $!' tarnwick-menu "$repo" "$base" "$bare_system" "$menu" \
  || { cat "$menu/out" "$menu/err"; fail "the menu failed"; }
grep -qx "Pressing button 4: Observe" "$menu/out" || { cat "$menu/out"; fail "no click line"; }

echo "== $release: purging leaves nothing"
purge_leaves_nothing "$base" "$bare_system" || fail "purging did not leave the system as it was"
echo "== $release: the packages install, run and purge cleanly"
