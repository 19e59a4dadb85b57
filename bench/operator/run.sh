#!/usr/bin/env bash
# Whether following the phones slows serving: the same build serving the same project with the
# operator's panel on (every request recorded, the panel ticked) and off, measured with wrk in one
# run with the rounds interleaved (on, off, off, on, ...), so that drift of the machine falls on both
# alike. Two request mixes, each with "Connection: close" (a new connection per request, as the
# phone app does): a phone's import (the manifest, then every file it lists) and one 20 KiB image.
# Reports the requests per second of each round, the ratio on / off of their sums, and the median of
# the ratios of each round's two runs, which sit next to each other in time; the server's own CPU time
# per request on and off (user + system, from /proc), which a busy shared machine disturbs less than
# throughput; then what recording one request costs a connection thread, measured alone.
# Usage: bench/operator/run.sh [BUILD_DIR]   (a Release build with VELMORA_BUILD_BENCH, e.g. build/release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/release}
server_bin=$build/bench/operator/velmora_bench_operator_server
[ -x "$server_bin" ] || { echo "build the release preset first: $server_bin" >&2; exit 1; }
command -v wrk >/dev/null || { echo "needs wrk (scripts/install-deps.sh --bench)" >&2; exit 1; }

rounds=${ROUNDS:-4}
duration=${DURATION:-5}
connections=${CONNECTIONS:-50}
on_port=${ON_PORT:-18280}
off_port=${OFF_PORT:-18281}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  sleep 0.3
  rm -rf "$work"
}
trap cleanup EXIT

# Each server publishes its own copy, so that neither rewrites the other's manifest.
python3 "$here/../app/make_project.py" "$work/on"
cp -r "$work/on" "$work/off"

declare -A server_pid
start_server() {  # PORT on|off
  "$server_bin" "$work/$2/screen.xml" "$1" "$2" > "$work/server-$2.out" &
  pids+=($!)
  server_pid[$2]=$!
  for _ in $(seq 100); do grep -q '^port' "$work/server-$2.out" 2>/dev/null && return; sleep 0.1; done
  echo "benchmark server ($2) did not start" >&2; exit 1
}
start_server "$on_port" on
start_server "$off_port" off

# The import mix: every path the manifest lists, in its order, after the manifest itself.
{
  echo 'paths = {"/"'
  grep -o 'arquivo_caminho="http://[^"]*"' "$work/on/arquivos.xml" | sed 's|arquivo_caminho="http://[^/]*\(/[^"]*\)"|, "\1"|'
  echo '}'
  cat <<'LUA'
local i = 0
request = function()
  i = i % #paths + 1
  return wrk.format("GET", paths[i], {["Connection"] = "close"})
end
LUA
} > "$work/import.lua"
[ "$(grep -c '"/' "$work/import.lua")" -gt 100 ] || { echo "no paths read from the manifest" >&2; exit 1; }

cpu_ticks() {  # PID: user + system clock ticks so far
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

wrk_rps() {  # PORT MIX: prints "requests/s requests"
  local out
  if [ "$2" = import ]; then
    out=$(wrk -t2 -c"$connections" -d"${duration}s" -s "$work/import.lua" "http://127.0.0.1:$1")
  else
    out=$(wrk -t2 -c"$connections" -d"${duration}s" -H "Connection: close" "http://127.0.0.1:$1/Images/f20k.png")
  fi
  if echo "$out" | grep -q 'Non-2xx'; then echo "port $1 answered with errors:" >&2; echo "$out" >&2; exit 1; fi
  echo "$out" | awk '/ requests in / { n = $1 } /Requests\/sec/ { r = $2 } END { printf "%.0f %d\n", r, n }'
}

for mix in import f20k; do
  on_sum=0; off_sum=0; rows=""; ratios=""
  declare -A ticks=([on]=0 [off]=0) served=([on]=0 [off]=0)
  for round in $(seq "$rounds"); do
    # Alternate which goes first, so that neither always follows the other.
    if [ $((round % 2)) -eq 1 ]; then order="on off"; else order="off on"; fi
    for side in $order; do
      port=$on_port; [ "$side" = off ] && port=$off_port
      before=$(cpu_ticks "${server_pid[$side]}")
      read -r rps requests < <(wrk_rps "$port" "$mix")
      ticks[$side]=$((ticks[$side] + $(cpu_ticks "${server_pid[$side]}") - before))
      served[$side]=$((served[$side] + requests))
      rows+="  round $round  $side  $rps req/s"$'\n'
      if [ "$side" = on ]; then on_sum=$((on_sum + rps)); on_round=$rps; else off_sum=$((off_sum + rps)); off_round=$rps; fi
    done
    ratios+="$(awk -v a="$on_round" -v b="$off_round" 'BEGIN { printf "%.4f", a / b }')"$'\n'
  done
  echo "$mix mix, $connections connections, $rounds x ${duration}s per side:"
  printf '%s' "$rows"
  median=$(printf '%s' "$ratios" | sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
  awk -v on="$on_sum" -v off="$off_sum" -v r="$rounds" -v m="$median" 'BEGIN {
    printf "  on %.0f req/s, off %.0f req/s (means); ratio on / off of the sums %.3f, median of the rounds %s\n", on / r, off / r, on / off, m }'
  awk -v to="${ticks[on]}" -v no="${served[on]}" -v tf="${ticks[off]}" -v nf="${served[off]}" -v hz="$(getconf CLK_TCK)" 'BEGIN {
    con = to * 1e6 / hz / no; coff = tf * 1e6 / hz / nf
    printf "  server CPU per request: on %.1f us, off %.1f us; ratio on / off %.3f\n", con, coff, con / coff }'
done

# What one recorded request costs the connection thread, beside what serving it costs.
cost_bin=$build/bench/operator/velmora_bench_record_cost
if [ -x "$cost_bin" ]; then
  echo "recording one request in the tracker (velmora_bench_record_cost):"
  "$cost_bin" 2>/dev/null | awk '/^RecordOneRequest/ { printf "  %s  %s %s per request\n", $1, $2, $3 }'
fi
