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
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet >"$log" 2>&1 || status=$?
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter' "$log" || true
exit $status
