#!/usr/bin/env bash
# Runs the fuzz targets of a fuzz build (every one, or those named) for a bounded time each on its
# seed corpus.
# Usage: fuzz/run-all.sh BUILD_DIR SECONDS_PER_TARGET [NAME...]
set -euo pipefail
build=$1; seconds=$2; shift 2
here=$(cd "$(dirname "$0")" && pwd)
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
shopt -s nullglob
if [ $# -gt 0 ]; then
  targets=()
  for name in "$@"; do targets+=("$build/fuzz/fuzz_$name"); done
else
  targets=("$build"/fuzz/fuzz_*)
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build/fuzz" >&2; exit 1; }
for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  name=$(basename "$target"); name=${name#fuzz_}
  corpus="$here/corpus/$name"
  work=$(mktemp -d)
  [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
  dict=()
  [ -f "$here/$name.dict" ] && dict=(-dict="$here/$name.dict")
  echo "fuzzing $name for ${seconds}s"
  "$target" "${dict[@]}" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$name-" "$work" > "$work.log" 2>&1 || { tail -n 60 "$work.log"; echo "$name: a failing input is in $artifacts" >&2; exit 1; }
  tail -n 6 "$work.log"
  rm -f "$work.log"
  rm -rf "$work"
done
