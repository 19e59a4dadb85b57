#!/usr/bin/env bash
# Where a request's time goes in velmora-server, in counts that do not depend on the machine's load:
# callgrind's instructions per request (user space only) and the system calls per request, for
# COUNT cookie-less requests for a 20 KiB image of the benchmark project, each on its own
# connection. Counting starts after a warm-up, so start-up and publish are left out. Prints the
# totals per request and the ten largest inclusive and self costs; keeps the callgrind file in OUT.
# Usage: bench/app/profile.sh [BUILD_DIR] [OUT]   (a Release build with VELMORA_BUILD_BENCH)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/release}
out=${2:-$PWD/velmora-server.callgrind}
server_bin=$build/src/programs/velmora-server
flood_bin=$build/bench/http/velmora_bench_http_flood
[ -x "$server_bin" ] && [ -x "$flood_bin" ] || { echo "build the release preset first" >&2; exit 1; }
command -v valgrind >/dev/null && command -v strace >/dev/null || { echo "needs valgrind and strace" >&2; exit 1; }

count=${COUNT:-2000}
port=${PORT:-18195}
path=${REQUEST_PATH:-/Images/f20k.png}
work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  sleep 0.3
  rm -rf "$work"
}
trap cleanup EXIT
python3 "$here/make_project.py" "$work/project"

# start_server COMMAND...: runs velmora-server on the project under COMMAND and waits until it serves.
start_server() {
  "$@" "$server_bin" --port "$port" "$work/project/screen.xml" > "$work/server.out" 2> "$work/tool.out" &
  server_pid=$!
  for _ in $(seq 600); do grep -q 'Servidor Ativo!' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
  grep -q 'Servidor Ativo!' "$work/server.out" || { echo "velmora-server did not start" >&2; exit 1; }
  "$flood_bin" "$port" "$path" 200 2 > /dev/null
}
stop_server() {
  kill -TERM "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
}

# Instructions: counters zeroed after the warm-up, dumped after the measured requests.
start_server valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" --dump-instr=no --collect-atstart=yes
callgrind_control -z "$server_pid" > /dev/null
"$flood_bin" "$port" "$path" "$count" 2 > /dev/null
callgrind_control -d "$server_pid" > /dev/null
stop_server
dump=$(ls "$work"/cg.out.* 2>/dev/null | sort -t. -k3 -n | head -1)
[ -n "$dump" ] || dump=$(ls "$work"/cg.out* | head -1)
cp "$dump" "$out"
total=$(awk '/^summary:|^totals:/ { print $2; exit }' "$out")
echo "velmora-server, $count requests for $path without cookies, one connection each:"
echo "  instructions per request (user space): $((total / count))"

# System calls: strace follows every thread of a fresh server from after its warm-up.
start_server
strace -f -c -o "$work/strace.out" -p "$server_pid" 2> /dev/null &
strace_pid=$!
sleep 1
"$flood_bin" "$port" "$path" "$count" 2 > /dev/null
kill -INT "$strace_pid"; wait "$strace_pid" 2>/dev/null || true
stop_server
echo "  system calls per request:"
awk -v n="$count" '$1 ~ /^[0-9.]+$/ && $4 ~ /^[0-9]+$/ { printf "    %-16s %6.2f\n", $NF, $4 / n }' "$work/strace.out" |
  sort -k2 -g -r | head -25
awk -v n="$count" '$NF == "total" { printf "    %-16s %6.2f\n", "all", $4 / n }' "$work/strace.out"

# The thread start, its recursion cycles and the connection thread's frames down to the request's
# carry every cost of a request: left out, so that the list shows where the cost goes.
top_ten() {
  callgrind_annotate --threshold=100 "$@" "$out" 2>/dev/null | awk -v n="$count" '
    /clone\.S|pthread_create\.c:start_thread|'"'"'[0-9]|TIdThread::(execute|entry)|TIdPeerThread::run|DoExecute|serveRequest\(/ { next }
    /^[ ]*[0-9,]+ \(/ { v = $1; gsub(",", "", v); sub(/^[^)]*\) +/, ""); if (shown++ < 10) printf "  %7.0f %s\n", v / n, substr($0, 1, 140) }'
}
echo "Top ten inclusive costs, instructions per request:"
top_ten --inclusive=yes
echo "Top ten self costs, instructions per request:"
top_ten --inclusive=no
