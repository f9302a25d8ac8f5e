# Debian chroots of other releases, for trying the project there. Source it; needs root.
# shellcheck shell=bash
# They are kept outside the clone (CI clones afresh), in TARNWICK_CHROOTS.
chroots=${TARNWICK_CHROOTS:-/var/cache/tarnwick-chroots}
# What the project's commands get to run with inside: nothing of the caller's environment.
bare=(env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)

# one_release SCRIPT ARG...: sets release from the command line of a script that takes one Debian
# release; exits with the usage otherwise, or when not root (debootstrap, chroot, namespaces).
one_release() {
  local script=$1
  shift
  [ $# -eq 1 ] || { echo "usage: scripts/$script RELEASE" >&2; exit 2; }
  [ "$(id -u)" -eq 0 ] || { echo "$script: needs root (debootstrap, chroot, namespaces)" >&2; exit 1; }
  release=$1
}

# base_chroot RELEASE [ARCH]: prints the folder of a bare chroot of RELEASE (bookworm, trixie,
# testing, ...), made with debootstrap from this machine's own Debian mirror the first time. It is
# never changed afterwards: in_chroot lays every change over it. ARCH names another architecture
# (arm64, ...), whose programs the kernel runs through qemu-user-static (see foreign_arch).
base_chroot() {
  local release=$1 arch=${2:-} base=$chroots/$1/base${2:+-$2} mirror options=(--variant=minbase)
  [ -z "$arch" ] || options+=(--arch "$arch")
  if [ ! -e "$base/etc/debian_version" ]; then
    mirror=$(awk '$1 == "URIs:" { print $2; exit } $1 ~ /^deb$/ { print $2; exit }' \
      /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null)
    [ -n "$mirror" ] || { echo "chroot: no Debian mirror found in /etc/apt" >&2; return 1; }
    rm -rf "$base.tmp"
    mkdir -p "$chroots/$release"
    debootstrap "${options[@]}" "$release" "$base.tmp" "$mirror" >"$base.log" 2>&1 \
      || { echo "chroot: debootstrap $release $arch failed; see $base.log" >&2; return 1; }
    # Testing is rebuilt all the time; a mirror that lags behind this clock has a Release file
    # past its Valid-Until. Stable releases keep the check.
    if [ "$release" = testing ] || [ "$release" = sid ]; then
      echo 'Acquire::Check-Valid-Until "false";' >"$base.tmp/etc/apt/apt.conf.d/99no-valid-until"
    fi
    mv "$base.tmp" "$base"
  fi
  echo "$base"
}

# in_chroot BASE CHANGES [--offline] COMMAND...: runs COMMAND as root in BASE with the folder
# CHANGES laid over it (what COMMAND changes lands there), with the host's /dev, a fresh /proc
# and /tmp. The mounts live in a namespace of their own and end with it. --offline gives it a
# network namespace of its own too: X servers started inside then cannot collide with the host's,
# whose abstract sockets live in the host's.
in_chroot() {
  local base=$1 changes=$2 net=()
  shift 2
  [ "${1:-}" = --offline ] && { net=(--net); shift; }
  mkdir -p "$changes/upper" "$changes/work" "$changes/root"
  unshare --mount --fork "${net[@]}" -- bash -euc '
    base=$1 changes=$2; shift 2
    root=$changes/root
    mount -t overlay overlay -o "lowerdir=$base,upperdir=$changes/upper,workdir=$changes/work" "$root"
    mount --rbind /dev "$root/dev"
    mount -t proc proc "$root/proc"
    mount -t tmpfs tmpfs "$root/tmp"
    exec chroot "$root" "$@"' in_chroot "$base" "$changes" "$@"
}

# dev_chroot RELEASE REPO TASK...: sets base and changes to the chroot in which the project is
# built and tried on RELEASE: the tree committed in REPO cloned afresh into /root/tarnwick, with
# what scripts/install-deps.sh installs for the tasks (kept from run to run). Prints the
# release's versions of what matters.
dev_chroot() {
  local release=$1 repo=$2
  shift 2
  base=$(base_chroot "$release") || return 1
  changes=$chroots/$release/dev
  rm -rf "$changes/upper/root/tarnwick"
  mkdir -p "$changes/upper/root"
  git clone -q "$repo" "$changes/upper/root/tarnwick"
  in_chroot "$base" "$changes" "${bare[@]}" bash -euc '
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends git ca-certificates >/dev/null
    cd /root/tarnwick && scripts/install-deps.sh "$@"
    echo "Debian $(cat /etc/debian_version): GLFW $(pkg-config --modversion glfw3)," \
      "$(gcc --version | head -n 1), $(cmake --version | head -n 1)," \
      "Mesa $(dpkg-query -W -f "\${Version}" libgl1-mesa-dri)"' install "$@" \
    || { echo "chroot: installing what the scripts need failed on $release" >&2; return 1; }
}

# purge_leaves_nothing BASE CHANGES: purges tarnwick's packages from the chroot BASE with
# CHANGES laid over it; fails, naming what is left, if a file or a package of theirs remains.
purge_leaves_nothing() {
  local left=$2/left
  in_chroot "$1" "$2" "${bare[@]}" bash -euc '
    files=$(dpkg -L tarnwick libtarnwick-rotor-dev | grep -vx "/\." | sort -u)
    apt-get purge -y -qq tarnwick libtarnwick-rotor-dev >/dev/null
    apt-get autoremove --purge -y -qq >/dev/null
    for file in $files; do
      [ -e "$file" ] && { [ ! -d "$file" ] || [ -z "$(dpkg -S "$file" 2>/dev/null)" ]; } \
        && echo "left: $file"
    done
    dpkg -l | awk "/tarnwick/ { print \"left: package \" \$2 }"' >"$left" \
    || { echo "purging failed" >&2; return 1; }
  [ ! -s "$left" ] || { cat "$left" >&2; echo "the packages left files behind" >&2; return 1; }
}
