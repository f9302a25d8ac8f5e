#!/usr/bin/env bash
# Tries the README's two commands on another Debian release, as a new user there would: in a
# chroot of that release (made once, then reused; see scripts/chroot.sh) it clones the committed
# tree, installs what the scripts install, then runs scripts/run.sh (the headless demo) and
# scripts/test.sh, each in a bare environment and a network namespace of its own.
# Usage: scripts/test-on.sh RELEASE      (bookworm, trixie, testing, ...; needs root)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
. "$repo/scripts/chroot.sh"
one_release test-on.sh "$@"

"$repo/scripts/install-deps.sh" chroot
echo "== $release: installing what the scripts install"
dev_chroot "$release" "$repo" test demo

echo "== $release: scripts/run.sh"
in_chroot "$base" "$changes" --offline "${bare[@]}" bash -c 'cd /root/tarnwick && scripts/run.sh' \
  || { echo "test-on: scripts/run.sh failed on $release" >&2; exit 1; }
echo "== $release: scripts/test.sh"
in_chroot "$base" "$changes" --offline "${bare[@]}" bash -c 'cd /root/tarnwick && scripts/test.sh' \
  || { echo "test-on: scripts/test.sh failed on $release" >&2; exit 1; }
echo "== $release: both commands passed"
