#!/usr/bin/env bash
# Makes the Debian package from a build whose programs are built (the test command passes its ci
# build) and holds it to Debian's checks: lintian with no error and no warning, and no overrides in
# the package; the software centres' metadata valid without the network; the menu entry valid.
set -euo pipefail
build=${1:?usage: scripts/check-package.sh BUILD_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
deb=$(echo "$work"/velmora_*.deb)
dpkg-deb -x "$deb" "$work/root"
if [ -e "$work/root/usr/share/lintian/overrides" ]; then
  echo "package: the package carries lintian overrides" >&2
  exit 1
fi
# Lintian warns that it runs as root (the containers' CI does); that line is no finding.
lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2)
appstreamcli validate-tree --no-net "$work/root"
desktop-file-validate "$work/root/usr/share/applications/velmora.desktop"
echo "package: $(basename "$deb") passes lintian, its AppStream metadata and its menu entry are valid"
