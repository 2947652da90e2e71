#!/usr/bin/env bash
# Builds every preset and runs every test: the portable core natively (plain, ASan+UBSan with the
# fuzz targets, TSan), the Windows side under wine64 and Xvfb, and checks of the shipped 32-bit
# program. Give preset names to run only those, e.g. scripts/test.sh native win64.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"

presets=("$@")
((${#presets[@]})) || presets=(native sanitize tsan win64 win32)

passed=0
failed=0
for preset in "${presets[@]}"; do
  echo "=== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset: test"
  log=$(mktemp)
  runner=()
  [ "$preset" = win64 ] && runner=("$root/scripts/with-display.sh")
  if "${runner[@]}" ctest --preset "$preset" 2>&1 | tee "$log"; then :; fi
  summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -z "$summary" ]; then
    echo "=== $preset: ctest gave no summary"
    failed=$((failed + 1))
  else
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  rm -f "$log"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
