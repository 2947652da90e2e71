#!/usr/bin/env bash
# Runs a Windows program under wine64 in a build's private prefix: 64-bit programs natively,
# 32-bit ones in wine64's WoW64 mode (scripts/install-wow64.sh puts the 32-bit DLLs in place).
# ctest uses it as the cross-compiling emulator of the win64 and win32 builds, each with a prefix
# of its own:   wine-run.sh [--prefix=DIR] PROGRAM [ARGS...]
# Without --prefix it uses $WINEPREFIX, or else the win64 build's prefix.
# A 32-bit program on a machine that cannot run 32-bit code at all (some virtual machines run
# 64-bit user code only) is not started: the script says why and exits 77, which ctest reports
# as a test not run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
case "${1:-}" in
  --prefix=*) export WINEPREFIX=${1#--prefix=}; shift ;;
  *) export WINEPREFIX=${WINEPREFIX:-$root/build/win64/wineprefix} ;;
esac
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts when a fresh prefix is created.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine names files in the Unix locale's encoding: without a UTF-8 locale, names outside ASCII
# cannot be created.
. "$root/scripts/utf8-locale.sh"

# The machine field of a PE image: 0x14c for i386.
pe_machine() {
  local at
  at=$(od -A n -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ') || return 0
  [ -n "$at" ] && od -A n -t x2 -j $((at + 4)) -N 2 "$1" 2>/dev/null | tr -d ' '
}
if [ -f "${1:-}" ] && [ "$(pe_machine "$1")" = 014c ]; then
  if ! reason=$("$root/scripts/host-runs-32bit.sh" 2>&1); then
    echo "NOT RUN: $(basename "$1"): $reason" >&2
    exit 77
  fi
fi
exec /usr/lib/wine/wine64 "$@"
