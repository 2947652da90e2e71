#!/usr/bin/env bash
# Runs a command with an X display: the current one, or a private Xvfb with a small window
# manager (without one, keyboard focus never reaches Wine's windows).
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
  # openbox now and then fails to open a display that has only just come up: start it again
  # until it holds.
  wm=""
  for _ in 1 2 3 4 5; do
    openbox >/dev/null 2>&1 &
    wm=$!
    for _ in $(seq 50); do wm_ready && break; kill -0 $wm 2>/dev/null || break; sleep 0.1; done
    wm_ready && break
    kill $wm 2>/dev/null || true
    sleep 0.5
  done
  wm_ready || echo "with-display: no window manager came up" >&2
  "$@"; rc=$?
  kill $wm 2>/dev/null || true
  exit $rc' with-display "$@"
