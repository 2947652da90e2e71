#!/usr/bin/env bash
# Runs a command with an X display: the current one, or a private Xvfb with a small window
# manager (without one, keyboard focus never reaches Wine's windows).
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
  "$@"; rc=$?
  kill $wm 2>/dev/null || true
  exit $rc' with-display "$@"
