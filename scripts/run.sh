#!/usr/bin/env bash
# Installs the dependencies, builds the release programs and runs the publisher: the window when
# a display is present, otherwise the headless server on the demo project (or the screen file
# given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build build/release -j "$(nproc)"

bin=build/release/src/app
screen=${1:-examples/demo/screen.xml}
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$bin/velmora" ]; then
  exec "$bin/velmora"
elif [ -x "$bin/velmora-server" ]; then
  exec "$bin/velmora-server" "$screen"
fi
echo "Built the libraries and tools in build/release; the publisher program is not part of this build yet."
