#!/usr/bin/env bash
# Times velmora-xml FILE and velmora-xml --manifest URL FILE against xmllint --noout FILE on
# generated screen files of 1, 10 and 50 MB, in one run: best-of-N throughput, the ratio to
# xmllint (1.0 or more means at least as fast), peak memory, and callgrind instructions per
# input byte.
# Usage: bench/xml/run.sh [VELMORA_XML] [WORK_DIR]
#   SIZES="1 10 50" RUNS=5 CALLGRIND_SIZES="1 10" override the defaults.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
tool=${1:-$root/build/release/src/programs/velmora-xml}
work=${2:-${TMPDIR:-/tmp}/velmora-bench-xml}
sizes=${SIZES:-"1 10 50"}
runs=${RUNS:-5}
callgrind_sizes=${CALLGRIND_SIZES:-"1 10"}
url="http://192.168.0.10:8099/"

for need in xmllint /usr/bin/time python3; do
  command -v "$need" >/dev/null || { echo "missing $need (scripts/install-deps.sh --bench)" >&2; exit 1; }
done
[ -x "$tool" ] || { echo "no velmora-xml at $tool (cmake --preset release && cmake --build build/release)" >&2; exit 1; }
mkdir -p "$work"

# best wall seconds and peak KiB over $runs runs of a command
measure() {
  local best="" peak=0
  for _ in $(seq "$runs"); do
    local start end secs kib
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$work/time.out" "$@" >/dev/null 2>/dev/null
    end=$(date +%s%N)
    secs=$(awk -v a="$start" -v b="$end" 'BEGIN{printf "%.4f", (b - a) / 1e9}')
    kib=$(tail -n 1 "$work/time.out")
    if [ -z "$best" ] || awk "BEGIN{exit !($secs < $best)}"; then best=$secs; fi
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  echo "$best $peak"
}

instructions_per_byte() {
  local file=$1; shift
  local out refs
  out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null | grep "refs:")
  refs=$(echo "$out" | awk '{gsub(",", "", $NF); print $NF}')
  awk -v r="$refs" -v b="$(stat -c %s "$file")" 'BEGIN{printf "%.1f", r / b}'
}

printf "%-6s %-22s %9s %8s %10s %9s\n" size command MB/s ratio peak-MiB mem-ratio
for size in $sizes; do
  file="$work/screen-${size}MB.xml"
  [ -s "$file" ] || python3 "$here/gen_screen.py" "$size" "$file"
  bytes=$(stat -c %s "$file")
  # every command must succeed on the file before it is timed
  "$tool" "$file"
  "$tool" --manifest "$url" "$file" >/dev/null
  xmllint --noout "$file"
  read -r lint_s lint_kib < <(measure xmllint --noout "$file")
  read -r load_s load_kib < <(measure "$tool" "$file")
  read -r man_s man_kib < <(measure "$tool" --manifest "$url" "$file")
  for row in "xmllint --noout:$lint_s:$lint_kib" "velmora-xml:$load_s:$load_kib" "velmora-xml --manifest:$man_s:$man_kib"; do
    IFS=: read -r name secs kib <<<"$row"
    awk -v n="$name" -v s="$secs" -v k="$kib" -v b="$bytes" -v ls="$lint_s" -v lk="$lint_kib" -v z="${size}MB" \
      'BEGIN{ if (s <= 0) s = 0.005; if (ls <= 0) ls = 0.005;
              printf "%-6s %-22s %9.1f %8.2f %10.1f %9.2f\n", z, n, b / 1048576 / s, ls / s, k / 1024, k / lk }'
  done
done

echo
echo "callgrind instructions per input byte"
for size in $callgrind_sizes; do
  file="$work/screen-${size}MB.xml"
  [ -s "$file" ] || python3 "$here/gen_screen.py" "$size" "$file"
  printf "%-6s xmllint --noout %s   velmora-xml %s   velmora-xml --manifest %s\n" "${size}MB" \
    "$(instructions_per_byte "$file" xmllint --noout "$file")" \
    "$(instructions_per_byte "$file" "$tool" "$file")" \
    "$(instructions_per_byte "$file" "$tool" --manifest "$url" "$file")"
done
