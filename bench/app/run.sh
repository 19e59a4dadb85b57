#!/usr/bin/env bash
# The phone import against velmora-server and against nginx serving the same project folder, in
# one run: seconds per import for one client and for four in parallel (the median of ROUNDS), and
# wrk on a 20 KiB image with "Connection: close" (a new connection per request, as the phone does).
# Usage: bench/app/run.sh [BUILD_DIR]   (a Release build with VELMORA_BUILD_BENCH, e.g. build/release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/release}
server_bin=$build/src/programs/velmora-server
client_bin=$build/bench/app/velmora_bench_phone_import
[ -x "$server_bin" ] && [ -x "$client_bin" ] || { echo "build the release preset first" >&2; exit 1; }
command -v wrk >/dev/null && command -v nginx >/dev/null || { echo "needs wrk and nginx-light (scripts/install-deps.sh --bench)" >&2; exit 1; }

rounds=${ROUNDS:-9}
duration=${DURATION:-10}
ours_port=${OURS_PORT:-18190}
nginx_port=${NGINX_PORT:-18191}
work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
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

import_time() { "$client_bin" "$1" "$2" "$rounds"; }
wrk_rps() {
  local out
  out=$(wrk -t2 -c50 -d"${duration}s" -H "Connection: close" "http://127.0.0.1:$1/Images/f20k.png")
  if echo "$out" | grep -q 'Non-2xx'; then echo "port $1 answered with errors:" >&2; echo "$out" >&2; exit 1; fi
  echo "$out" | awk '/Requests\/sec/ { printf "%.0f\n", $2 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

read -r o1 files bytes <<<"$(import_time "$ours_port" 1)"
read -r n1 _ _ <<<"$(import_time "$nginx_port" 1)"
read -r o4 _ _ <<<"$(import_time "$ours_port" 4)"
read -r n4 _ _ <<<"$(import_time "$nginx_port" 4)"
o_rps=$(wrk_rps "$ours_port")
n_rps=$(wrk_rps "$nginx_port")

echo "Phone import of $files files ($bytes bytes), median of $rounds rounds, seconds per import:"
echo "  one client:    velmora $o1   nginx $n1   ratio (velmora / nginx) $(ratio "$o1" "$n1")"
echo "  four clients:  velmora $o4   nginx $n4   ratio (velmora / nginx) $(ratio "$o4" "$n4")"
echo "wrk, 20 KiB image, Connection: close, 50 connections, ${duration}s:"
echo "  velmora $o_rps req/s   nginx $n_rps req/s   ratio (velmora / nginx) $(ratio "$o_rps" "$n_rps")"
