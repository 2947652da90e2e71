#!/usr/bin/env bash
# Runs a Windows program under Wine in a build's private prefix (a 64-bit one): 64-bit programs
# with wine64, 32-bit ones with full 32-bit Wine (Debian's wine32, scripts/install-wine32.sh).
# ctest uses it as the cross-compiling emulator of the win64 and win32 builds, each with a prefix
# of its own:
#   wine-run.sh [--prefix=DIR] PROGRAM [ARGS...]
#   wine-run.sh [--prefix=DIR] --init     makes the prefix ready (the tests' first fixture)
#   wine-run.sh --check PROGRAM           only tells whether PROGRAM can run here (0, or 77)
# Without --prefix it uses $WINEPREFIX, or else the win64 build's prefix.
# A crashed program ends at once with its status: Wine's debugger and crash dialog are off.
# A 32-bit program that cannot run here (the machine refuses 32-bit code, or wine32 could not be
# installed) is not started: the script says why and exits 77, which ctest reports as not run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
case "${1:-}" in
  --prefix=*) export WINEPREFIX=${1#--prefix=}; shift ;;
  *) export WINEPREFIX=${WINEPREFIX:-$root/build/win64/wineprefix} ;;
esac
# Wine takes only an absolute prefix.
WINEPREFIX=$(realpath -m "$WINEPREFIX")
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts when a fresh prefix is created, and no debugger for a crash:
# without winedbg, Wine ends a crashed process with its exception code as the exit status.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}
# Wine names files in the Unix locale's encoding: without a UTF-8 locale, names outside ASCII
# cannot be created.
. "$root/scripts/utf8-locale.sh"
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine

if [ "${1:-}" = --init ]; then
  [ -f "$WINEPREFIX/system.reg" ] && exit 0
  started=$SECONDS
  "$wine64" wineboot --init >/dev/null 2>&1 || true
  "$(dirname "$wine64")/wineserver" -w || true
  [ -f "$WINEPREFIX/system.reg" ] || { echo "cannot create the Wine prefix $WINEPREFIX" >&2; exit 1; }
  echo "Wine prefix $WINEPREFIX made in $((SECONDS - started)) s"
  exit 0
fi

# The machine field of a PE image: 0x14c for i386.
pe_machine() {
  local at
  at=$(od -A n -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ') || return 0
  [ -n "$at" ] && od -A n -t x2 -j $((at + 4)) -N 2 "$1" 2>/dev/null | tr -d ' '
}
check=0
[ "${1:-}" = --check ] && { check=1; shift; }
if [ -f "${1:-}" ] && [ "$(pe_machine "$1")" = 014c ]; then
  if [ -n "${LS_32BIT_NOT_RUN:-}" ]; then
    echo "NOT RUN: $(basename "$1"): $LS_32BIT_NOT_RUN" >&2
    exit 77
  fi
  if ! reason=$("$root/scripts/host-runs-32bit.sh" 2>&1); then
    echo "NOT RUN: $(basename "$1"): $reason" >&2
    exit 77
  fi
  if [ ! -x "$wine32" ]; then
    reason="wine32 is not installed (scripts/install-wine32.sh installs it)"
    [ -f "$root/build/wine32-unavailable.txt" ] && reason=$(head -n 1 "$root/build/wine32-unavailable.txt")
    echo "NOT RUN: $(basename "$1"): $reason" >&2
    exit 77
  fi
  [ "$check" -eq 1 ] && exit 0
  exec "$wine32" "$@"
fi
[ "$check" -eq 1 ] && exit 0
exec "$wine64" "$@"
