#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy: warnings are errors) on the C++ sources changed since a base
# revision that the build compiles, with its compile commands.
# Usage: scripts/tidy.sh BUILD_DIR [BASE]   BASE defaults to the previous commit; "all" checks
# every source.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1; base=${2:-HEAD~1}
[ -f "$build/compile_commands.json" ] || { echo "tidy: no $build/compile_commands.json" >&2; exit 1; }
if [ "$base" = all ] || ! git rev-parse -q --verify "$base^{commit}" >/dev/null; then
  mapfile -t files < <(git ls-files -- 'src/*.cpp' 'tests/*.cpp')
else
  mapfile -t files < <(git diff --name-only --diff-filter=d "$base" -- 'src/*.cpp' 'tests/*.cpp')
fi
# Only what this build compiles: the other platform's sources have their own build's checks.
mapfile -t files < <(printf '%s\n' "${files[@]}" | while read -r file; do
  [ -n "$file" ] && grep -q "\"file\": *\"$PWD/$file\"" "$build/compile_commands.json" && echo "$file"
done)
[ ${#files[@]} -gt 0 ] || { echo "tidy: no changed sources since $base"; exit 0; }
echo "tidy: ${#files[@]} sources"
# A MinGW-w64 build is checked as Windows code: clang takes the cross compiler's C++ library and
# Windows headers, and its own intrinsics in place of GCC's.
extra=()
compiler=$(grep -m1 -o '"command": "[^ ]*' "$build/compile_commands.json" | cut -d'"' -f4)
if [[ $compiler == *mingw32* ]]; then
  extra=(--extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++ --extra-arg=-nostdlibinc)
  while read -r folder; do
    extra+=("--extra-arg=-isystem$folder")
  done < <(echo | "$compiler" -E -x c++ - -v 2>&1 | sed -n '/^#include <...>/,/^End of search/p' | grep '^ /' |
    grep -v -E '/include$|/include-fixed$')
  extra+=(--extra-arg=-isystem/usr/x86_64-w64-mingw32/include)
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet "${extra[@]}" >"$log" 2>&1 || status=$?
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter' "$log" || true
exit $status
