#!/usr/bin/env bash
# The program is the same bytes whoever builds it, wherever and whenever: builds the source tree a
# second time from a copy in another folder, into another build folder, and compares the program
# with the build's own.
#   reproducible_build.sh SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE PROGRAM
set -euo pipefail
src=$1 toolchain=$2 build_type=$3 program=$4
[ -f "$program" ] || { echo "no program at $program"; exit 1; }
work=$(mktemp -d /tmp/ls-reproduce.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The tree as it stands (changes not yet committed included), under a path of another length.
copy="$work/another/source tree"
mkdir -p "$copy"
(cd "$src" && git ls-files -z --cached --others --exclude-standard |
  xargs -0 -I{} sh -c '[ -e "$1" ] && printf "%s\0" "$1" || true' _ {} |
  tar --null -T - -cf -) | tar -xf - -C "$copy"
toolchain=${toolchain/#$src/$copy}
started=$(date +%s)
cmake -S "$copy" -B "$work/b" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE="$build_type" -DLS_TESTS=OFF >/dev/null
cmake --build "$work/b" --target LanguageSelector -j2 >/dev/null
again="$work/b/$(basename "$program")"
echo "built again in $(($(date +%s) - started)) s: $again"
if cmp "$program" "$again"; then
  echo "same bytes: $(basename "$program"), $(stat -c %s "$program") bytes, sha256 $(sha256sum <"$program" | cut -c1-16)"
else
  echo "differs: $(cmp -l "$program" "$again" | wc -l) bytes; first offsets:"
  cmp -l "$program" "$again" | head -n 8
  exit 1
fi
