#!/usr/bin/env bash
# Builds every preset and runs every test: the portable core natively (plain, ASan+UBSan with the
# fuzz targets, TSan), the Windows side under wine64 and Xvfb, and the shipped 32-bit program:
# its own checks, and its tests and end-to-end tests under full 32-bit Wine. Give preset names to
# run only those, e.g. scripts/test.sh native win64.
# Counts are GoogleTest cases (a Windows test program runs many in one ctest entry); every case
# skipped, filtered out or disabled is counted and named with its reason.
# Where this machine's kernel refuses 32-bit code, LS_VM32=1 runs the 32-bit programs in a small
# virtual machine (scripts/vm32.sh; half an hour to over an hour, too long for every run); without it
# they are reported as not run. Where they cannot run at all (no 32-bit Wine could be installed,
# no virtual machine came up), they are reported as not run with the reason, and
# LS_REQUIRE_32BIT=1 makes that a failure. LS_VM32=always takes the virtual machine even where
# this machine runs 32-bit code (to check that path).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"
# Wine needs a UTF-8 locale to name files outside ASCII.
. "$root/scripts/utf8-locale.sh"

presets=("$@")
((${#presets[@]})) || presets=(native sanitize tsan win64 win32)

# How the 32-bit programs run: here, in the virtual machine, or not at all (and why).
mode32=here
why32=""
if [ "${LS_VM32:-0}" = always ] || ! why32=$("$root/scripts/host-runs-32bit.sh" 2>&1); then
  mode32=vm
  if [ "${LS_VM32:-0}" = 0 ]; then
    mode32=none
    why32="$why32 (LS_VM32=1 runs them in a virtual machine)"
  fi
fi

# Runs the win32 preset's tests in the virtual machine (all but the rebuild check, which needs no
# Wine and stays here); $1, $2: the two reports. Returns non-zero when they could not run there.
test_win32_in_vm() {
  local log
  log=$(mktemp)
  if ! "$root/scripts/install-wine32.sh" --through-guest; then
    why32=$(head -n 1 "$root/build/wine32-unavailable.txt" 2>/dev/null || echo "wine32 could not be installed")
    return 1
  fi
  # Emulation is slow: every time-out stretches, and the build's prefix is made before the clock
  # of the first test starts.
  cmake --preset win32 -DLS_TEST_TIME_SCALE=8 >/dev/null
  local started=$SECONDS rc=0
  # (A Wine server kept up for the whole run with wineserver -p hung the first test program
  # there: each program starts its own.)
  "$root/scripts/vm32.sh" bash -c '
    scripts/wine-run.sh --prefix="$PWD/build/win32/wineprefix" --init || exit 1
    scripts/with-display.sh ctest --preset win32 -LE reproducible --output-junit "$1" \
      --test-output-size-passed 10000000 --test-output-size-failed 10000000
    exit 0' vm "$1" 2>&1 | tee "$log" || rc=$?
  if [ "$rc" -ne 0 ] || [ ! -f "$1" ]; then
    why32="the virtual machine did not run the tests: $(grep '^vm32: ' "$log" | tail -n 1)"
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
  echo "=== win32: the tests in the virtual machine took $((SECONDS - started)) s"
  ctest --preset win32 -L reproducible --output-junit "$2" \
    --test-output-size-passed 10000000 --test-output-size-failed 10000000 || true
}

passed=0
failed=0
skipped=0
not_run_32bit=0
details=""
for preset in "${presets[@]}"; do
  echo "=== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  case "$preset" in
    win64 | win32)
      # The end-to-end music test compares the program's sound with the native renderer's.
      if [[ " ${presets[*]} " != *" native "* ]]; then
        echo "=== $preset: build native xmrender (the music test's reference)"
        cmake --preset native >/dev/null
        cmake --build --preset native --target xmrender
      fi
      ;;
  esac
  echo "=== $preset: test"
  runner=()
  case "$preset" in win64 | win32) runner=("$root/scripts/with-display.sh") ;; esac
  junit="$root/build/$preset/ctest-report.xml"
  reports=("$junit")
  rm -f "$junit" "$root/build/$preset/ctest-report-host.xml"
  ran=0
  if [ "$preset" = win32 ]; then
    cmake --preset win32 -DLS_TEST_TIME_SCALE=1 >/dev/null
    if [ "$mode32" = vm ]; then
      reports+=("$root/build/$preset/ctest-report-host.xml")
      if test_win32_in_vm "${reports[@]}"; then
        ran=1
      else
        reports=("$junit")
        cmake --preset win32 -DLS_TEST_TIME_SCALE=1 >/dev/null
      fi
    fi
    # The 32-bit programs say why they do not run, and count as not run.
    [ "$mode32" = here ] || export LS_32BIT_NOT_RUN="$why32"
  fi
  if [ "$ran" -eq 0 ]; then
    "${runner[@]}" ctest --preset "$preset" --output-junit "$junit" \
      --test-output-size-passed 10000000 --test-output-size-failed 10000000 || true
  fi
  unset LS_32BIT_NOT_RUN
  counted=$(python3 "$root/scripts/count-tests.py" "$preset" "${reports[@]}")
  summary=$(tail -n 1 <<<"$counted")
  details+="$counted"$'\n'
  echo "=== $summary"
  read -r p f s n < <(sed -E 's/^[^:]*: ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped \([0-9]+ ctest entries, ([0-9]+) not run\)$/\1 \2 \3 \4/' <<<"$summary")
  passed=$((passed + p))
  failed=$((failed + f))
  skipped=$((skipped + s))
  [ "$preset" = win32 ] && not_run_32bit=$n
done

echo "=== what did not simply pass, preset by preset"
printf '%s' "$details"
if [ "$not_run_32bit" -gt 0 ] && [ "${LS_REQUIRE_32BIT:-0}" = 1 ]; then
  echo "=== LS_REQUIRE_32BIT=1: $not_run_32bit 32-bit test programs did not run"
  failed=$((failed + not_run_32bit))
  skipped=$((skipped - not_run_32bit))
fi
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
