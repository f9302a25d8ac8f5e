#!/usr/bin/env bash
# Runs a command against a private Xvfb screen of 1920x1080 and stops the server afterwards.
# Usage: scripts/with-xvfb.sh command [args...]
set -euo pipefail

dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -rf "$dir"' EXIT

for _ in $(seq 200); do
  [ -s "$dir/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$dir/display" ]; then
  echo "with-xvfb: Xvfb did not start:" >&2
  cat "$dir/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$dir/display")"

set +e
"$@"
status=$?
exit "$status"
