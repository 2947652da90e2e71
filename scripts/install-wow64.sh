#!/usr/bin/env bash
# Lets wine64 run 32-bit programs (its WoW64 mode): adds the 32-bit Windows DLLs from Debian's
# libwine:i386 beside wine64's own, without installing any i386 package. Files already there are
# kept; nothing is overwritten. Needs root; does nothing when the DLLs are in place.
set -euo pipefail
target=/usr/lib/x86_64-linux-gnu/wine/i386-windows
[ -f "$target/ntdll.dll" ] && [ -f "$target/kernel32.dll" ] && exit 0

SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
version=$(dpkg-query -W -f='${Version}' libwine 2>/dev/null || true)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "installing the 32-bit Wine DLLs (libwine:i386 ${version:-latest})"
added_arch=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  added_arch=1
fi
$SUDO apt-get update -qq
(cd "$work" && chmod 777 . && apt-get download -qq "libwine:i386${version:+=$version}" >/dev/null)
dpkg-deb -x "$work"/libwine_*_i386.deb "$work/root"
$SUDO mkdir -p "$target"
# -n: never replace a file wine64 already has.
$SUDO cp -rn "$work/root/usr/lib/i386-linux-gnu/wine/i386-windows/." "$target/"
# The machine stays single-architecture: no i386 package is ever installed by accident.
if [ "$added_arch" -eq 1 ]; then
  $SUDO dpkg --remove-architecture i386
  $SUDO apt-get update -qq
fi
