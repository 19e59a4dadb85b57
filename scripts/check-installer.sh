#!/usr/bin/env bash
# Makes the Windows installer of a built `windows` build and runs it under Wine, in the build's
# prefix: `/S` installs the programs into Program Files with the Start menu entry and the
# uninstaller's registration, and the installed server runs; while an installed program runs, the
# installer and the uninstaller refuse and change nothing; then `/S` on the uninstaller removes
# everything again.
set -euo pipefail
build=$(cd "${1:?usage: scripts/check-installer.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=$build/wine
run() { "$root/scripts/wine-run.sh" "$@"; }
fail() { echo "installer: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
setup=$build/velmora-setup-$version.exe
rm -f "$setup"
cmake --build "$build" --target package >/dev/null || fail "making the package failed"
[ -f "$setup" ] || fail "the package made no $setup"

folder='C:\Program Files\Velmora'
unix_folder="$WINEPREFIX/drive_c/Program Files/Velmora"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Velmora Servidor Screen.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora'
registered() { run reg query "$key" >/dev/null 2>&1; }
listing() { (cd "$unix_folder" && ls -l --time-style=full-iso); }

run "$setup" /S || fail "the silent install exited with $?"
for program in velmora velmora-server velmora-xml velmora-talk; do
  [ -f "$unix_folder/$program.exe" ] || fail "$program.exe is not in $folder"
done
[ -f "$shortcut" ] || fail "the Start menu entry is missing: $shortcut"
registered || fail "the uninstall key $key is missing"
run "$folder\\velmora-server.exe" --list-addresses >/dev/null || fail "the installed velmora-server.exe does not run"

# A running program holds its file: the talk program waits on its input meanwhile.
coproc talk { run "$folder\\velmora-talk.exe"; }
echo oi >&"${talk[1]}"
read -r -t 30 _ <&"${talk[0]}" || fail "the installed velmora-talk.exe did not answer"
# NSIS exits 2 when the script stops it.
refused() {
  local status=0
  run "$@" || status=$?
  [ $status -eq 2 ] || fail "$(basename "${1//\\//}") /S exited with $status while velmora-talk.exe ran, not 2 (refused)"
}
before=$(listing)
refused "$setup" /S
# `_?=FOLDER` runs the uninstaller in place, so that its exit code is the run's; it must be the
# command line's last text unquoted, which the folder's short name without blanks allows.
short=$(run winepath -s "$folder" | tr -d '\r')
refused "$short\\Desinstalar.exe" /S "_?=$short"
[ "$(listing)" = "$before" ] || fail "the refused runs changed $folder"
registered || fail "a refused run removed the uninstall key"
talk_input=${talk[1]}
exec {talk_input}>&-
wait "$talk_PID" || fail "velmora-talk.exe failed"

# The uninstaller copies itself away, to be able to delete its own file, and returns at once; the
# copy removes the uninstall key last.
run "$folder\\Desinstalar.exe" /S || fail "the silent uninstall exited with $?"
for _ in $(seq 100); do
  registered || break
  sleep 0.2
done
! registered || fail "the uninstall key $key is still there after uninstalling"
[ ! -e "$unix_folder" ] || fail "$folder is still there after uninstalling: $(ls "$unix_folder")"
[ ! -e "$shortcut" ] || fail "the Start menu entry is still there after uninstalling"
echo "installer: $(basename "$setup") ($(stat -c %s "$setup") bytes) installs, refuses while a program runs, and uninstalls"
