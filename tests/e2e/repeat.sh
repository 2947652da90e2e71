#!/usr/bin/env bash
# Runs the end-to-end tests N times in a row, each run from a fresh Wine prefix on its own X
# display, and prints a summary: how many runs passed, the longest streak of passing runs, the
# load beside them, and how long each closed program took to end. Builds nothing: build the
# win64 preset first.
#
#   tests/e2e/repeat.sh N [--load] [-R REGEX]
#
#   --load    two CPU-bound processes run beside the tests the whole time
#   -R REGEX  only the tests matching REGEX (default: e2e)
#
# Each run's ctest output and, for a failing test, what it saw (screenshot, the driver's calls)
# are kept in build/win64/e2e-repeat/run-I/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

usage() {
  echo "usage: tests/e2e/repeat.sh N [--load] [-R REGEX]" >&2
  exit 2
}
[ $# -ge 1 ] && [[ $1 =~ ^[1-9][0-9]*$ ]] || usage
runs=$1
shift
load=0 regex=e2e
while [ $# -gt 0 ]; do
  case $1 in
    --load) load=1 ;;
    -R) [ $# -ge 2 ] || usage; regex=$2; shift ;;
    *) usage ;;
  esac
  shift
done

build=build/win64
[ -f "$build/LanguageSelector.exe" ] ||
  { echo "repeat: no $build/LanguageSelector.exe: cmake --preset win64 && cmake --build --preset win64" >&2; exit 2; }
unset DISPLAY  # each run on a private Xvfb with its own window manager, as CI has it
out="$build/e2e-repeat"
rm -rf "$out"
mkdir -p "$out"

burners=()
prefix=""
# Ends the run's Wine server and waits until it has saved the prefix and gone.
stop_wine() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
}
finish() {
  local pid
  for pid in "${burners[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -n "$prefix" ]; then
    stop_wine
    rm -rf "$prefix"
  fi
}
trap finish EXIT
trap 'exit 130' INT TERM

if ((load)); then
  for _ in 1 2; do
    sh -c 'while :; do :; done' &
    burners+=($!)
  done
  echo "repeat: two CPU burners running (pids ${burners[*]})"
fi
echo "repeat: $runs runs of ctest -R '$regex'; before: $(uptime)"

passed=0 failed=0 streak=0 best=0
for ((i = 1; i <= runs; i++)); do
  prefix=$(mktemp -d "$PWD/$out/prefix.XXXXXX")
  mkdir -p "$out/run-$i"
  start=$SECONDS
  if LS_E2E_PREFIX="$prefix" LS_E2E_ARTIFACTS="$PWD/$out/run-$i" \
    scripts/with-display.sh ctest --preset win64 -R "$regex" --output-on-failure \
    >"$out/run-$i/ctest.txt" 2>&1; then
    result=passed
    passed=$((passed + 1)) streak=$((streak + 1))
    ((streak > best)) && best=$streak
    rm -rf "${out:?}/run-$i"/test_*
  else
    result="FAILED: $(grep -E '^\s*[0-9]+ - ' "$out/run-$i/ctest.txt" | awk '{print $3}' | tr '\n' ' ')"
    failed=$((failed + 1)) streak=0
  fi
  stop_wine
  rm -rf "$prefix"
  prefix=""
  # How long each closed program took to end, as the tests report it.
  closes=$(grep -ohE '(process|ended|closed) in [0-9]+ ms' "$build/Testing/Temporary/LastTest.log" \
    2>/dev/null | grep -oE '[0-9]+' | tr '\n' ' ' || true)
  printf 'run %d: %s (%d s, load average %s; closes took %sms)\n' "$i" "$result" \
    $((SECONDS - start)) "$(cut -d' ' -f1-3 /proc/loadavg)" "${closes:-? }"
done

echo "repeat: after: $(uptime)"
echo "repeat: longest streak of passing runs: $best; outputs in $out"
echo "$passed passed, $failed failed"
((failed == 0))
