#!/usr/bin/env bash
# Installs what the build, the tests and the benchmarks need on Debian 12 (as root or through sudo).
#   --bench    also the benchmarks' peers and tools
#   --windows  also the Windows cross build: MinGW-w64, Wine with a virtual display for its windows,
#              GoogleTest's sources, NSIS for the installer, and the QR code library's source from
#              Debian's archive, checked against its pinned checksum
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential g++ clang libclang-rt-14-dev clang-format clang-tidy cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  qt6-base-dev libgl-dev fonts-liberation
  libcurl4-openssl-dev nlohmann-json3-dev libqrencode-dev zbar-tools
  libxml2-utils curl python3
  dpkg-dev desktop-file-utils lintian appstream
)
windows=false
for option in "$@"; do
  case "$option" in
    --bench) packages+=(wrk nginx-light valgrind hyperfine libbenchmark-dev time) ;;
    --windows) windows=true; packages+=(g++-mingw-w64-x86-64-posix wine64 googletest bzip2 xvfb xauth nsis) ;;
    *) echo "install-deps: unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
    as_root=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# libqrencode has no MinGW build in Debian: the Windows build compiles the same release from
# Debian's original source tarball, fetched once and pinned by its checksum.
if $windows; then
  archive=build/downloads/qrencode_4.1.1.orig.tar.bz2
  sha256=e455d9732f8041cf5b9c388e345a641fd15707860f928e94507b1961256a6923
  if ! echo "$sha256  $archive" | sha256sum --check --status 2>/dev/null; then
    mkdir -p build/downloads
    curl -fsSL --retry 3 -o "$archive.part" \
      http://deb.debian.org/debian/pool/main/q/qrencode/qrencode_4.1.1.orig.tar.bz2
    echo "$sha256  $archive.part" | sha256sum --check --status ||
      { echo "install-deps: the QR code library's source does not match its checksum" >&2; rm -f "$archive.part"; exit 1; }
    mv "$archive.part" "$archive"
  fi
fi
