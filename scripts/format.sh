#!/usr/bin/env bash
# Formats every C++ source of the project in place, or with --check lists the files whose layout
# differs and fails.
set -euo pipefail
cd "$(dirname "$0")/.."
# The Unicode tables are generated; their layout is the generator's.
mapfile -t files < <(git ls-files -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' 'bench/*.h' 'bench/*.cpp' \
  'fuzz/*.h' 'fuzz/*.cpp' ':!src/unicode/UnicodeTables.cpp')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${files[@]}"
  echo "format: ${#files[@]} files as .clang-format lays them out"
else
  clang-format -i "${files[@]}"
fi
