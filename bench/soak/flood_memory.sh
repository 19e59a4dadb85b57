#!/usr/bin/env bash
# The memory a flood of cookie-less requests costs velmora-server: the demo project is served, COUNT
# requests for PATH go out without cookies (each starts a session), and the server's resident size
# is read before and after.
# Usage: bench/soak/flood_memory.sh [BUILD_DIR] [COUNT] [PATH]
#   (a Release build with VELMORA_BUILD_BENCH, e.g. build/release)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/release}
count=${2:-200000}
path=${3:-/talvo.html?Personality=Brovick}
server_bin=$build/src/programs/velmora-server
flood_bin=$build/bench/http/velmora_bench_http_flood
[ -x "$server_bin" ] && [ -x "$flood_bin" ] || { echo "build the release preset first: $server_bin" >&2; exit 1; }
port=${PORT:-18310}
work=$(mktemp -d)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

cp -r "$here/../../examples/demo" "$work/project"
"$server_bin" --port "$port" "$work/project/screen.xml" > "$work/server.out" &
server_pid=$!
for _ in $(seq 100); do grep -q 'Servidor Ativo!' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
grep -q 'Servidor Ativo!' "$work/server.out" || { echo "velmora-server did not start" >&2; exit 1; }

status() { awk -v key="$1:" '$1 == key { print $2 }' "/proc/$server_pid/status"; }
before=$(status VmRSS)
flood=$("$flood_bin" "$port" "$path" "$count" 8)
after=$(status VmRSS)
peak=$(status VmHWM)
threads=$(status Threads)
echo "$count cookie-less requests for $path ($flood)"
echo "  resident before $((before / 1024)) MB, after $((after / 1024)) MB, peak $((peak / 1024)) MB," \
     "growth $(((after - before) / 1024)) MB, threads after $threads"
