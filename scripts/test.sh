#!/usr/bin/env bash
# Builds every preset and runs every test: the portable core natively (plain, ASan+UBSan with the
# fuzz targets, TSan), the Windows side under wine64 and Xvfb, and the shipped 32-bit program:
# its own checks, and its tests under wine64's WoW64 mode. Give preset names to run only those,
# e.g. scripts/test.sh native win64.
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
not_run=0
reasons=""
for preset in "${presets[@]}"; do
  echo "=== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset: test"
  log=$(mktemp)
  runner=()
  case "$preset" in win64|win32) runner=("$root/scripts/with-display.sh") ;; esac
  if "${runner[@]}" ctest --preset "$preset" 2>&1 | tee "$log"; then :; fi
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -z "$summary" ]; then
    echo "=== $preset: ctest gave no summary"
    failed=$((failed + 1))
  else
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
    # ctest counts a test it skipped among those passed.
    skipped=$(grep -c '\*\*\*Skipped' "$log" || true)
    passed=$((passed + total - bad - skipped))
    failed=$((failed + bad))
    not_run=$((not_run + skipped))
    if [ "$skipped" -gt 0 ]; then
      reasons+=$({ grep -h "NOT RUN:" "build/$preset/Testing/Temporary/LastTest.log" || true; } |
        sed -E 's/^NOT RUN: [^:]*: //' | sort -u | sed "s/^/  $preset: /")$'\n'
    fi
  fi
  rm -f "$log"
done

if [ "$not_run" -gt 0 ]; then
  echo "=== NOT RUN: $not_run tests"
  printf '%s' "$reasons"
  [ "${LS_REQUIRE_32BIT:-0}" = 1 ] && failed=$((failed + not_run))
fi
echo "$passed passed, $failed failed, $not_run skipped"
[ "$failed" -eq 0 ]
