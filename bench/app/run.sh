#!/usr/bin/env bash
# The phone import against velmora-server and against nginx serving the same project folder, in
# one run: seconds per import for one client and for four in parallel, and wrk on a 20 KiB image
# with "Connection: close" (a new connection per request, as the phone does). A bare server with
# one thread per connection (the floor of that threading model) is measured in both: serving the
# project folder for the import, and the one image for wrk. The rounds
# are interleaved, the order of the servers turning from round to round; each ratio is the median
# of the rounds' ratios, with their lowest and highest in brackets.
# Usage: bench/app/run.sh [BUILD_DIR]   (a Release build with VELMORA_BUILD_BENCH, e.g. build/release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common/ratios.sh"
build=${1:-$here/../../build/release}
server_bin=$build/src/programs/velmora-server
client_bin=$build/bench/app/velmora_bench_phone_import
floor_bin=$build/bench/http/velmora_bench_thread_floor
[ -x "$server_bin" ] && [ -x "$client_bin" ] && [ -x "$floor_bin" ] || { echo "build the release preset first" >&2; exit 1; }
command -v wrk >/dev/null && command -v nginx >/dev/null || { echo "needs wrk and nginx-light (scripts/install-deps.sh --bench)" >&2; exit 1; }

rounds=${ROUNDS:-5}
# Imports per server and round, of which the median counts.
imports=${IMPORTS:-3}
duration=${DURATION:-10}
ours_port=${OURS_PORT:-18190}
nginx_port=${NGINX_PORT:-18191}
floor_port=${FLOOR_PORT:-18192}
folder_floor_port=${FOLDER_FLOOR_PORT:-18193}
work=$(mktemp -d)
server_pid=
floor_pid=
folder_floor_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$floor_pid" ] && kill "$floor_pid" 2>/dev/null || true
  [ -n "$folder_floor_pid" ] && kill "$folder_floor_pid" 2>/dev/null || true
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  sleep 0.3
  rm -rf "$work"
}
trap cleanup EXIT

# nginx's workers run as an unprivileged user: they must be able to read the project.
chmod 755 "$work"
python3 "$here/make_project.py" "$work/project"
chmod -R a+rX "$work/project"
mkdir -p "$work/logs"

"$server_bin" --port "$ours_port" "$work/project/screen.xml" > "$work/server.out" &
server_pid=$!
for _ in $(seq 100); do grep -q 'Servidor Ativo!' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
grep -q 'Servidor Ativo!' "$work/server.out" || { echo "velmora-server did not start" >&2; cat "$work/server.out" >&2; exit 1; }
chmod a+r "$work/project/arquivos.xml"

cat > "$work/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  server {
    listen 127.0.0.1:$nginx_port backlog=1024;
    root $work/project;
    location = / { rewrite ^ /arquivos.xml last; }
  }
}
CONF
nginx -c "$work/nginx.conf" -p "$work"
sleep 0.3

"$floor_bin" "$floor_port" "$work/project/Images/f20k.png" > "$work/floor.out" &
floor_pid=$!
"$floor_bin" "$folder_floor_port" "$work/project" > "$work/folder-floor.out" &
folder_floor_pid=$!

import_time() { "$client_bin" "$1" "$2" "$imports"; }
wrk_rps() {
  local out
  out=$(wrk -t2 -c50 -d"${duration}s" -H "Connection: close" "http://127.0.0.1:$1/Images/f20k.png")
  if echo "$out" | grep -q 'Non-2xx'; then echo "port $1 answered with errors:" >&2; echo "$out" >&2; exit 1; fi
  echo "$out" | awk '/Requests\/sec/ { printf "%.0f\n", $2 }'
}

declare -A port=([ours]=$ours_port [nginx]=$nginx_port [floor]=$floor_port [folder]=$folder_floor_port)
declare -A one four rps
one_nginx= four_nginx= one_floor= four_floor= rps_nginx= rps_floor=
for round in $(seq "$rounds"); do
  for peer in $(turned "$round" ours nginx folder); do
    read -r one[$peer] files bytes <<<"$(import_time "${port[$peer]}" 1)"
    read -r four[$peer] _ _ <<<"$(import_time "${port[$peer]}" 4)"
  done
  for peer in $(turned "$round" ours nginx floor); do
    rps[$peer]=$(wrk_rps "${port[$peer]}")
  done
  echo "round $round: import s, one client velmora ${one[ours]} nginx ${one[nginx]}," \
    "floor ${one[folder]}, four clients velmora ${four[ours]} nginx ${four[nginx]} floor ${four[folder]};" \
    "20 KiB req/s velmora ${rps[ours]}" \
    "nginx ${rps[nginx]} floor ${rps[floor]}"
  one_nginx+=" $(ratio "${one[ours]}" "${one[nginx]}")"
  four_nginx+=" $(ratio "${four[ours]}" "${four[nginx]}")"
  one_floor+=" $(ratio "${one[ours]}" "${one[folder]}")"
  four_floor+=" $(ratio "${four[ours]}" "${four[folder]}")"
  rps_nginx+=" $(ratio "${rps[ours]}" "${rps[nginx]}")"
  rps_floor+=" $(ratio "${rps[ours]}" "${rps[floor]}")"
done

echo "Phone import of $files files ($bytes bytes), medians of $rounds interleaved rounds (lowest-highest):"
echo "  seconds per import, velmora / nginx: one client $(median_spread "$one_nginx"), four clients $(median_spread "$four_nginx")"
echo "  seconds per import, velmora / the bare thread per connection: one client $(median_spread "$one_floor")," \
  "four clients $(median_spread "$four_floor")"
echo "wrk, 20 KiB image, Connection: close, 50 connections, ${duration}s, req/s velmora / peer:"
echo "  vs nginx $(median_spread "$rps_nginx"), vs the bare thread per connection $(median_spread "$rps_floor")"
