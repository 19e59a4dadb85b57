#!/usr/bin/env bash
# Measures the benchmark server (this project's HTTP classes) against nginx in the same run:
#   requests/s and p99 latency for a 20 KiB file with "Connection: close" (a new connection per
#   request, as the phone app does), MB/s for a 10 MiB file, and the server's memory after 200,000
#   cookie-less requests (each one starts a session). The 20 KiB row also measures a bare server
#   with one thread per connection and no HTTP work, the floor of that threading model.
# The rounds are interleaved, the order of the servers turning from round to round; each ratio is
# the median of the rounds' ratios, with their lowest and highest in brackets.
# nginx runs with its own temporary configuration on another loopback port, two workers.
# Usage: bench/http/run.sh [BUILD_DIR]   (a Release build with VELMORA_BUILD_BENCH, e.g. build/release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common/ratios.sh"
build=${1:-$here/../../build/release}
server_bin=$build/bench/http/velmora_bench_http_server
flood_bin=$build/bench/http/velmora_bench_http_flood
floor_bin=$build/bench/http/velmora_bench_thread_floor
[ -x "$server_bin" ] && [ -x "$flood_bin" ] && [ -x "$floor_bin" ] || { echo "build the release preset first: $server_bin" >&2; exit 1; }
command -v wrk >/dev/null && command -v nginx >/dev/null || { echo "needs wrk and nginx-light (scripts/install-deps.sh --bench)" >&2; exit 1; }

duration=${DURATION:-10}
rounds=${ROUNDS:-5}
ours_port=${OURS_PORT:-18180}
nginx_port=${NGINX_PORT:-18181}
floor_port=${FLOOR_PORT:-18182}
work=$(mktemp -d)
server_pid=
floor_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$floor_pid" ] && kill "$floor_pid" 2>/dev/null || true
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  sleep 0.3
  rm -rf "$work"
}
trap cleanup EXIT

# nginx's workers run as an unprivileged user: they must be able to read the files.
chmod 755 "$work"
mkdir -p "$work/www" "$work/logs"
head -c 20480 /dev/urandom > "$work/www/f20k.bin"
head -c 10485760 /dev/urandom > "$work/www/f10m.bin"

cat > "$work/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  server { listen 127.0.0.1:$nginx_port backlog=1024; root $work/www; }
}
CONF
nginx -c "$work/nginx.conf" -p "$work"

start_server() {
  "$server_bin" "$work/www" "$ours_port" > "$work/server.out" &
  server_pid=$!
  for _ in $(seq 50); do grep -q '^port' "$work/server.out" 2>/dev/null && return; sleep 0.1; done
  echo "benchmark server did not start" >&2; exit 1
}
stop_server() {
  kill -TERM "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
}
rss_kib() { awk '/VmRSS/{print $2}' "/proc/$1/status"; }

# wrk_run PORT PATH CONNECTIONS -> "req/s p99_ms MB/s"
wrk_run() {
  local out
  out=$(wrk -t2 -c"$3" -d"${duration}s" --latency -H "Connection: close" "http://127.0.0.1:$1$2")
  if echo "$out" | grep -q 'Non-2xx'; then echo "port $1 answered $2 with errors:" >&2; echo "$out" >&2; exit 1; fi
  echo "$out" | awk '
    /Requests\/sec/ { rps = $2 }
    /^ +99%/ { v = $2; if (v ~ /us$/) { sub(/us/, "", v); v /= 1000 } else if (v ~ /ms$/) { sub(/ms/, "", v) } else if (v ~ /s$/) { sub(/s/, "", v); v *= 1000 } p99 = v }
    /Transfer\/sec/ { t = $2; if (t ~ /GB$/) { sub(/GB/, "", t); t *= 1024 } else if (t ~ /MB$/) { sub(/MB/, "", t) } else if (t ~ /KB$/) { sub(/KB/, "", t); t /= 1024 } mb = t }
    END { printf "%.0f %.2f %.0f\n", rps, p99, mb }'
}

"$floor_bin" "$floor_port" "$work/www/f20k.bin" > "$work/floor.out" &
floor_pid=$!
start_server
declare -A port=([ours]=$ours_port [nginx]=$nginx_port [floor]=$floor_port)
declare -A rps p99 mb
small_nginx= small_floor= large_nginx= p99_nginx=
for round in $(seq "$rounds"); do
  for peer in $(turned "$round" ours nginx floor); do
    read -r rps[$peer] p99[$peer] _ <<<"$(wrk_run "${port[$peer]}" /f20k.bin 50)"
  done
  for peer in $(turned "$round" ours nginx); do
    read -r _ _ mb[$peer] <<<"$(wrk_run "${port[$peer]}" /f10m.bin 4)"
  done
  echo "round $round: 20 KiB req/s velmora ${rps[ours]} nginx ${rps[nginx]} floor ${rps[floor]};" \
    "p99 ms velmora ${p99[ours]} nginx ${p99[nginx]}; 10 MiB MB/s velmora ${mb[ours]} nginx ${mb[nginx]}"
  small_nginx+=" $(ratio "${rps[ours]}" "${rps[nginx]}")"
  small_floor+=" $(ratio "${rps[ours]}" "${rps[floor]}")"
  p99_nginx+=" $(ratio "${p99[ours]}" "${p99[nginx]}")"
  large_nginx+=" $(ratio "${mb[ours]}" "${mb[nginx]}")"
done
stop_server
kill "$floor_pid"; floor_pid=

# Memory: a fresh server, its resident size before and after 200,000 requests without cookies.
start_server
sleep 0.3
"$flood_bin" "$ours_port" /f20k.bin 1000 4 > /dev/null
before=$(rss_kib "$server_pid")
flood=$("$flood_bin" "$ours_port" /f20k.bin 200000 8)
after=$(rss_kib "$server_pid")
stop_server
sessions=$(awk '/^sessions/{print $2}' "$work/server.out")
per_session=$(( (after - before) * 1024 / (sessions > 1000 ? sessions - 1000 : 1) ))

echo "Medians of $rounds interleaved rounds of ${duration}s (lowest-highest), velmora / peer:"
echo "  20 KiB, Connection: close, 50 connections: req/s vs nginx $(median_spread "$small_nginx")," \
  "vs the bare thread per connection $(median_spread "$small_floor"); p99 vs nginx $(median_spread "$p99_nginx")"
echo "  10 MiB, Connection: close, 4 connections: MB/s vs nginx $(median_spread "$large_nginx")"
echo "Memory after 200,000 cookie-less requests ($flood):"
echo "  resident before ${before} KiB, after ${after} KiB, live sessions $sessions, $per_session bytes per session"
