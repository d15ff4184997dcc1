#!/usr/bin/env bash
# Makes a bare 32-bit Wine prefix at $1: the system folder filled with Wine's
# own PE modules, and automatic prefix updates turned off. wineboot's full
# setup (COM registration, services, fonts) takes 20 minutes and more under
# user-mode emulation and is not needed by programs that use only KERNEL32
# and ADVAPI32, like the launcher and its test programs.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh DIR}

modules=""
for d in /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows; do
  [ -d "$d" ] && { modules=$d; break; }
done
[ -n "$modules" ] || { echo "wine-prefix: no 32-bit Wine modules found" >&2; exit 1; }

rm -rf "$prefix"
mkdir -p "$prefix/drive_c/windows/system32" "$prefix/drive_c/windows/temp"
cp "$modules"/*.dll "$modules"/*.exe "$prefix/drive_c/windows/system32/"
# "disable" keeps Wine from running wineboot on the first start.
echo disable > "$prefix/.update-timestamp"
