#!/usr/bin/env bash
# Installs full 32-bit Wine the Debian way: the i386 architecture beside amd64 and the package
# wine32, which runs the shipped 32-bit program with every part of Windows it uses (needs root).
#   install-wine32.sh                 on a machine that runs 32-bit code
#   install-wine32.sh --through-guest on one that does not: the packages are fetched here, and
#                                     installed inside the virtual machine of scripts/vm32.sh
#                                     (over this machine's own files), since their install runs
#                                     32-bit programs
# Exits 0 when wine32 is installed. Otherwise it says apt's reason in one line, leaves it in
# build/wine32-unavailable.txt (where the test runner reads it; the next try waits 30 minutes
# unless LS_WINE32_RETRY=1) and exits 1, and the machine is as
# it found it: no architecture added and left behind, nothing removed or downgraded, and any i386
# package this attempt installed taken out again.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/lib/apt.sh"
status_file="$root/build/wine32-unavailable.txt"
through_guest=0
[ "${1:-}" = --through-guest ] && through_guest=1

if apt_installed wine32:i386; then
  rm -f "$status_file"
  exit 0
fi
# A registry that was inconsistent a moment ago most likely still is: after a failure, the next
# try waits half an hour (LS_WINE32_RETRY=1, or removing the file, tries at once).
if [ -f "$status_file" ] && [ "${LS_WINE32_RETRY:-0}" != 1 ] &&
  [ -n "$(find "$status_file" -mmin -30 2>/dev/null)" ]; then
  echo "$(head -n 1 "$status_file") (tried less than 30 minutes ago)" >&2
  exit 1
fi

had_arch=0
dpkg --print-foreign-architectures | grep -qx i386 && had_arch=1
i386_packages() { dpkg-query -W -f='${binary:Package} ${db:Status-Abbrev}\n' 2>/dev/null | awk '$1 ~ /:i386$/ && $2 ~ /^[ih]/ {print $1}' | sort; }
before=$(i386_packages)

give_up() {
  local reason=$1 added
  # Back to the machine as it was: the i386 packages this attempt brought, then the architecture.
  added=$(comm -13 <(printf '%s\n' "$before") <(i386_packages) | grep . || true)
  if [ -n "$added" ]; then
    # shellcheck disable=SC2086
    $SUDO dpkg --purge --force-depends $added >/dev/null 2>&1 || true
  fi
  if [ "$had_arch" -eq 0 ] && [ -z "$(i386_packages)" ]; then
    $SUDO dpkg --remove-architecture i386 2>/dev/null || true
    LS_APT_TRIES=1 apt_update 2>/dev/null
  fi
  mkdir -p "$(dirname "$status_file")"
  printf 'wine32 could not be installed: %s\n' "$reason" | tee "$status_file" >&2
  exit 1
}

echo "installing full 32-bit Wine (wine32:i386)"
[ "$had_arch" -eq 1 ] || $SUDO dpkg --add-architecture i386
apt_update
if [ "$through_guest" -eq 0 ]; then
  apt_install --no-install-recommends wine32:i386 || give_up "$APT_REASON"
else
  apt_install --download-only --no-install-recommends wine32:i386 || give_up "$APT_REASON"
  # The guest unpacks and configures; the triggers (the manual pages' index, the linker cache,
  # which take many minutes emulated) run here afterwards, with this machine's own programs. The
  # guest's locks do not reach this machine: nothing else may run apt or dpkg meanwhile.
  log=$(mktemp)
  if ! "$root/scripts/vm32.sh" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
      --no-remove --no-install-recommends -o DPkg::Options::=--no-triggers wine32:i386 \
      >"$log" 2>&1; then
    reason=$(apt_reason "$log")
    rm -f "$log"
    $SUDO dpkg --configure --pending >/dev/null 2>&1 || true
    give_up "in the virtual machine: $reason"
  fi
  rm -f "$log"
  $SUDO dpkg --triggers-only --pending >/dev/null 2>&1 || true
fi
apt_installed wine32:i386 || give_up "apt reported success, yet wine32:i386 is not installed"
rm -f "$status_file"
echo "wine32 installed"
