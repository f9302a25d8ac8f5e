#!/usr/bin/env bash
# Runs a command against a private Xvfb screen of 1920x1080 and stops the server afterwards.
# Usage: scripts/with-xvfb.sh command [args...]
set -euo pipefail
. "$(dirname "$0")/menu.sh"

log=$(mktemp)
XVFB_PID=""
trap '[ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null; wait 2>/dev/null; rm -f "$log"' EXIT
start_private_xvfb "$log" || { echo "with-xvfb: no X server, so nothing was run" >&2; exit 1; }

set +e
"$@"
status=$?
exit "$status"
