#!/usr/bin/env bash
# Installs what the build, the tests and the benchmarks need on Debian 12 (as root or through sudo).
set -euo pipefail

packages=(
  build-essential g++ clang libclang-rt-14-dev clang-format clang-tidy cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  qt6-base-dev libgl-dev fonts-liberation
  libcurl4-openssl-dev nlohmann-json3-dev libqrencode-dev zbar-tools
  libxml2-utils curl python3
  dpkg-dev desktop-file-utils lintian appstream
)
if [ "${1:-}" = "--bench" ]; then
  packages+=(wrk nginx-light valgrind hyperfine libbenchmark-dev time)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
