# Sourced by the scripts that install Debian packages. The registry can be briefly inconsistent
# (one index of a suite still syncing): an update that fails is tried again a few times, and one
# index that cannot be fetched never stops a script by itself; what matters is whether the
# packages wanted install. An install never removes or downgrades a package of the machine to make
# room (--no-remove; apt refuses downgrades unless allowed).

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive

# apt's last error, in one line ("E: ..." or "W: ..."), from the log file $1.
apt_reason() {
  local line
  line=$(grep -E '^(E|W): ' "$1" | grep -vE 'Some index files failed|Unable to correct problems, you have held broken' | tail -n 1)
  [ -n "$line" ] || line=$(grep -E '^(E|W): ' "$1" | tail -n 1)
  [ -n "$line" ] || line=$(tail -n 1 "$1")
  printf '%s' "$line" | tr -s ' \t' ' '
}

# Refreshes the package lists: up to $LS_APT_TRIES tries (default 3), $LS_APT_PAUSE seconds apart
# (default 10). Always returns 0; a list that stayed stale is reported once, and its reason kept in
# APT_UPDATE_REASON (empty after an update that went through).
APT_UPDATE_REASON=""
apt_update() {
  local log try tries=${LS_APT_TRIES:-3}
  log=$(mktemp)
  for ((try = 1; try <= tries; try++)); do
    if $SUDO apt-get update -q >"$log" 2>&1; then
      rm -f "$log"
      APT_UPDATE_REASON=""
      return 0
    fi
    ((try < tries)) && sleep "${LS_APT_PAUSE:-10}"
  done
  APT_UPDATE_REASON=$(apt_reason "$log")
  echo "apt-get update failed $tries times; going on with the lists it has: $APT_UPDATE_REASON" >&2
  rm -f "$log"
  return 0
}

# Installs packages "$@" (apt-get options may come first) with no removal and no downgrade. On
# failure the lists are refreshed and it is tried once more. Returns apt's status; apt's own
# reason, in one line, is left in APT_REASON.
APT_REASON=""
apt_install() {
  local log rc=0
  log=$(mktemp)
  $SUDO apt-get install -y -q --no-remove "$@" >"$log" 2>&1 || rc=$?
  if [ "$rc" -ne 0 ]; then
    apt_update
    rc=0
    $SUDO apt-get install -y -q --no-remove "$@" >"$log" 2>&1 || rc=$?
  fi
  APT_REASON=""
  if [ "$rc" -ne 0 ]; then
    APT_REASON=$(apt_reason "$log")
    # A resolver that cannot make the pairs fit usually stems from a list that stayed stale.
    [ -z "$APT_UPDATE_REASON" ] || APT_REASON="$APT_REASON (after a failed update: $APT_UPDATE_REASON)"
  fi
  rm -f "$log"
  return "$rc"
}

# True when every package named is installed.
apt_installed() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || return 1
  done
}
