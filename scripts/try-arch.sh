#!/usr/bin/env bash
# Tries the Debian packages of another architecture on a bare system of a Debian release, as a
# user of such a machine would get them. In a chroot of the release for this machine's own
# architecture it cross-builds them the Debian way (apt-get build-dep -a ARCH, then
# dpkg-buildpackage -a ARCH) and has lintian judge them. It installs them with
# `apt-get install ./*.deb` into a fresh chroot of the release for ARCH holding only its base
# system, whose programs the kernel runs through qemu-user-static, and there runs the headless
# demo (scripts/demo.sh) on an X server of this machine: the menu drawn, a click on Observe,
# Escape. Then it purges them and checks that nothing is left. Emulated, everything is slow:
# rgbatool takes a minute for the default pictures, the menu most of one to start.
# Usage: scripts/try-arch.sh RELEASE ARCH      (trixie arm64, ...; needs root)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
. "$repo/scripts/chroot.sh"
[ $# -eq 2 ] || { echo "usage: scripts/try-arch.sh RELEASE ARCH" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "try-arch.sh: needs root (debootstrap, chroot, binfmt_misc)" >&2; exit 1; }
release=$1
arch=$2
fail() { echo "try-arch: $release $arch: $*" >&2; exit 1; }

"$repo/scripts/install-deps.sh" chroot demo foreign

# The kernel hands ARCH's programs to qemu; the F flag opens the emulator once, here, so that
# the chroots need no copy of it.
case $arch in
  arm64) qemu=aarch64 ;;
  ppc64el) qemu=ppc64le ;;
  armhf | armel) qemu=arm ;;
  *) qemu=$arch ;;
esac
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" || fail "cannot mount $binfmt"
[ -e "$binfmt/qemu-$qemu" ] || update-binfmts --enable "qemu-$qemu" || fail "no qemu-$qemu in binfmt_misc"
grep -qx enabled "$binfmt/qemu-$qemu" || echo 1 >"$binfmt/qemu-$qemu" || fail "cannot enable qemu-$qemu"
grep -qx "flags: .*F.*" "$binfmt/qemu-$qemu" || fail "qemu-$qemu is registered without the F flag"

echo "== $release: cross-building the $arch packages"
base=$(base_chroot "$release")
base_arch=$(base_chroot "$release" "$arch")
# The build chroot, with ARCH added and its cross compiler, kept from run to run.
cross=$chroots/$release/cross-$arch
rm -rf "$cross/upper/root/tarnwick" "$cross"/upper/root/*.deb
mkdir -p "$cross/upper/root"
git clone -q "$repo" "$cross/upper/root/tarnwick"
in_chroot "$base" "$cross" "${bare[@]}" bash -euc '
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture "$1"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "crossbuild-essential-$1" dpkg-dev debhelper lintian >/dev/null
  cd /root/tarnwick && apt-get build-dep -y -qq -a "$1" ./ >/dev/null' cross "$arch" \
  || fail "apt-get build-dep -a $arch failed"
in_chroot "$base" "$cross" "${bare[@]}" bash -c \
  'cd /root/tarnwick && dpkg-buildpackage -a "$1" -b -us -uc >/root/build.log 2>&1' cross "$arch" \
  || { tail -n 30 "$cross/upper/root/build.log"; fail "dpkg-buildpackage -a $arch failed"; }
in_chroot "$base" "$cross" "${bare[@]}" bash -c 'cd /root && lintian --pedantic -I \
  --fail-on error,warning,info,pedantic tarnwick_*_"$1".deb libtarnwick-rotor-dev_*_"$1".deb' \
  cross "$arch" || fail "lintian faults the packages"

# A bare system of ARCH: its base chroot with only what lands in this folder laid over it.
bare_system=$(mktemp -d "$chroots/$release/bare-$arch.XXXXXX")
trap 'rm -rf "$bare_system"' EXIT
menu=$bare_system/upper/root/menu
mkdir -p "$menu"
cp "$cross"/upper/root/{tarnwick,libtarnwick-rotor-dev}_*_"$arch".deb "$bare_system/upper/root/"
echo "== $release $arch: apt-get install ./*.deb on a bare system"
in_chroot "$base_arch" "$bare_system" "${bare[@]}" bash -euc '
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  cd /root && apt-get install -y -qq --no-install-recommends ./tarnwick_*.deb ./libtarnwick-rotor-dev_*.deb >/dev/null
  [ "$(dpkg --print-architecture)" = "$1" ]
  rgbatool defaults /root/menu >/dev/null' install "$arch" || fail "installing the packages failed"

echo "== $release $arch: the menu draws and reports a click"
# demo.sh runs a program in the picture folder: this one runs the installed menu in the chroot.
cat >"$bare_system/tarnwick" <<EOF
#!/usr/bin/env bash
. "$repo/scripts/chroot.sh"
in_chroot "$base_arch" "$bare_system" env -i "DISPLAY=\$DISPLAY" PATH=/usr/bin:/bin \\
  sh -c 'cd /root/menu && exec tarnwick'
EOF
chmod +x "$bare_system/tarnwick"
"$repo/scripts/with-xvfb.sh" "$repo/scripts/demo.sh" "$bare_system/tarnwick" "$menu" 600 >"$bare_system/demo" \
  || { cat "$bare_system/demo"; fail "the menu failed"; }
grep -qx "Pressing button 4: Observe" "$menu/menu.out" || { cat "$bare_system/demo"; fail "no click line"; }
# Drawn: a screenshot of the whole menu takes some hundred kB, a blank one a few.
[ "$(stat -c %s "$menu/screenshot.png")" -gt 200000 ] || fail "the screenshot is blank"

echo "== $release $arch: purging leaves nothing"
purge_leaves_nothing "$base_arch" "$bare_system" || fail "purging did not leave the system as it was"
echo "== $release $arch: the packages cross-build, install, run and purge cleanly"
