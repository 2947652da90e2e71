#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are missing (needs root), then full
# 32-bit Wine (scripts/install-wine32.sh) where this machine runs 32-bit code. A package that
# cannot be had fails the script with apt's reason; 32-bit Wine that cannot be had does not (the
# 32-bit programs are then reported as not run, with that reason).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/lib/apt.sh"
mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$here/packages.txt")
missing=()
for p in "${wanted[@]}"; do
  apt_installed "$p" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  apt_update
  if ! apt_install "${missing[@]}"; then
    echo "cannot install ${missing[*]}: $APT_REASON" >&2
    exit 1
  fi
fi
if "$here/host-runs-32bit.sh" 2>/dev/null; then
  "$here/install-wine32.sh" || true
fi
