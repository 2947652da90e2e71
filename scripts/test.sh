#!/usr/bin/env bash
# Builds every preset and runs every test: the portable core natively (plain, ASan+UBSan with the
# fuzz targets, TSan), the Windows side under wine64 and Xvfb, and the shipped 32-bit program:
# its own checks, and its tests under Wine. Give preset names to run only those, e.g.
# scripts/test.sh native win64.
# Counts are GoogleTest cases (a Windows test program runs many in one ctest entry); every case
# skipped, filtered out or disabled is counted and named with its reason.
# On a machine that cannot run 32-bit code at all, the 32-bit program's tests are reported as not
# run (and counted apart); LS_REQUIRE_32BIT=1 makes that a failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"
# Wine needs a UTF-8 locale to name files outside ASCII.
. "$root/scripts/utf8-locale.sh"

presets=("$@")
((${#presets[@]})) || presets=(native sanitize tsan win64 win32)

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
    win64)
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
  rm -f "$junit"
  "${runner[@]}" ctest --preset "$preset" --output-junit "$junit" \
    --test-output-size-passed 10000000 --test-output-size-failed 10000000 || true
  counted=$(python3 "$root/scripts/count-tests.py" "$preset" "$junit")
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
