#!/usr/bin/env bash
# Runs a command against a private Xvfb screen of 1920x1080 and stops the server afterwards.
# Usage: scripts/with-xvfb.sh command [args...]
set -euo pipefail

dir=$(mktemp -d)
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT

# Pick a free display number ourselves: letting Xvfb probe numbers that are
# taken can break the sockets of the server that has them. -noreset keeps the
# server from resetting whenever its last client leaves, which would refuse
# the next client for a moment.
for n in $(seq 10 99); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 200); do
    [ -s "$dir/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  [ -s "$dir/display" ] && break
  kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
done
if [ -z "$xvfb_pid" ]; then
  echo "with-xvfb: Xvfb did not start:" >&2
  cat "$dir/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$dir/display")"

set +e
"$@"
status=$?
exit "$status"
