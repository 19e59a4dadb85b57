#!/usr/bin/env bash
# Checks the layout of the source tree:
# - no include runs from a library to one later in the build order, and no host folder (the
#   programs, the windows) includes another;
# - only the Qt window's folder links Qt;
# - every limit constant lives in a Limits.h;
# - no two files in the tree differ only by letter case (a checkout on Windows or a default macOS
#   volume could not hold both).
set -euo pipefail
cd "$(dirname "$0")/.."

# Lowest first: a folder may include its own headers and those of the folders before it.
layers=(base unicode xml/writer xml/reader screen net http talk handlers publish operator)
hosts=(programs app win)
status=0
fail() { echo "layout: $*" >&2; status=1; }

rank() {
  local folder=$1 i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$folder" ] && { echo "$i"; return; }; done
  for host in "${hosts[@]}"; do [ "$host" = "$folder" ] && { echo "host"; return; }; done
  echo "unknown"
}

# The folder of a path below src/: xml/reader and xml/writer are folders of their own.
folderOf() {
  local path=$1
  case "$path" in
    xml/*) echo "$path" | cut -d/ -f1-2 ;;
    *) echo "${path%%/*}" ;;
  esac
}

while IFS= read -r file; do
  from=$(folderOf "${file#src/}")
  fromRank=$(rank "$from")
  [ "$fromRank" = unknown ] && { fail "$file: folder $from is in no layer"; continue; }
  while IFS= read -r included; do
    to=$(folderOf "$included")
    [ -d "src/$to" ] || continue
    [ "$to" = "$from" ] && continue
    toRank=$(rank "$to")
    if [ "$toRank" = host ]; then
      fail "$file includes $included: nothing includes a host's files"
    elif [ "$fromRank" != host ] && [ "$toRank" -gt "$fromRank" ]; then
      fail "$file includes $included, from $from up to $to"
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files -- 'src/*.h' 'src/*.cpp')

while IFS= read -r list; do
  case "$list" in src/app/*) continue ;; esac
  grep -q 'Qt6' "$list" && fail "$list links Qt; only src/app does"
done < <(git ls-files -- 'src/*CMakeLists.txt')

# A named bound (Max..., ...Limit, ...Timeout) defined anywhere but a Limits.h; message texts and
# the "wait without end" value are not bounds.
while IFS= read -r hit; do
  fail "a limit outside a Limits.h: $hit"
done < <(git grep -nE 'constexpr [^=(]*\b(Id)?(Max[A-Z][A-Za-z]*|[A-Za-z]*(Limit|Timeout|TimeOut)[A-Za-z]*)\b *[={]' -- 'src/*.h' 'src/*.cpp' \
           ':!src/*/Limits.h' ':!src/xml/*/Limits.h' | grep -vE 'const char\*|Infinite' || true)

while IFS= read -r name; do
  fail "files whose names differ only by letter case: $(git ls-files | grep -ix "$name" | tr '\n' ' ')"
done < <(git ls-files | sort -f | uniq -di)

[ $status -eq 0 ] && echo "layout: includes run down the layers, Qt stays in src/app, limits in Limits.h, names unique in any case"
exit $status
