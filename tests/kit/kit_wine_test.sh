#!/usr/bin/env bash
# KIT.EXE under Wine on a bare prefix: state (as Windows XP, 98 and 7, with
# and without a release record and marks, its lines called from a batch
# file), mark, collect (its folder planned by the host's launcher-preview,
# the same plan as from regedit's exports of the same keys) and log.
# Exits 0 when every check passed, 1 otherwise, 77 when something it needs
# is missing.
#
# Settings (environment):
#   E2E_BUILD_DIR   where KIT.EXE was built            (build/win32)
#   E2E_PREVIEW     the host's launcher-preview        (build/host/launcher-preview)
#   E2E_SCRATCH     scratch folder; the prefix is kit/ in it (/tmp/silent-launcher-e2e)
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD

build_dir=${E2E_BUILD_DIR:-$repo/build/win32}
kit_exe=$build_dir/KIT.EXE
preview=${E2E_PREVIEW:-$repo/build/host/launcher-preview}
scratch=${E2E_SCRATCH:-/tmp/silent-launcher-e2e}/kit

skip() { echo "SKIP: $*"; exit 77; }
[ -f "$kit_exe" ] || skip "$kit_exe is missing; build the win32 preset first"
[ -x "$preview" ] || skip "$preview is missing; build the host preset first"
command -v wine > /dev/null || skip "no wine"

export WINEDEBUG=-all WINEARCH=win32
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINEPATH='C:\windows\system32;C:\windows'
export WINEPREFIX=$scratch/prefix
unset DISPLAY WAYLAND_DISPLAY

# Under qemu-user every Wine process would first spend a minute reserving
# its address space; the e2e tests' shim grants that at once.
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  mkdir -p "$scratch"
  shim=$scratch/qemu_reserve_shim.so
  if [ ! -f "$shim" ] || [ tests/e2e/qemu_reserve_shim.c -nt "$shim" ]; then
    clang --target=i386-linux-gnu -O2 -fPIC -shared -nostdlib -Wall -Werror \
      tests/e2e/qemu_reserve_shim.c -o "$shim"
  fi
  export QEMU_SET_ENV=LD_PRELOAD=$shim
fi

if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
rm -rf "$scratch/prefix" "$scratch/out"
bash scripts/wine-prefix.sh "$WINEPREFIX"
drive=$WINEPREFIX/drive_c
mkdir -p "$drive/kit/REL" "$scratch/out"
cp "$kit_exe" "$drive/kit/KIT.EXE"
env -u QEMU_SET_ENV wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT

failures=0
check() {  # <what> <expected> <found>
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAIL: $1"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed 's/^/    /' || true
    failures=$((failures + 1))
  fi
}

# Registry items from REGEDIT4 text (LF line ends are fine for regedit).
import() {  # <name> <text>
  printf 'REGEDIT4\r\n\r\n%s\r\n' "$2" | sed 's/$/\r/' > "$drive/$1.reg"
  wine regedit /s "C:\\$1.reg"
}
version() {  # <Wine's name for the version KIT.EXE sees>
  import version "[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\KIT.EXE]
\"Version\"=\"$1\""
}
# Runs KIT.EXE; its standard output (CR LF made LF) and error in $scratch.
kit() {
  local status=0
  wine 'C:\kit\KIT.EXE' "$@" > "$scratch/stdout" 2> "$scratch/stderr" || status=$?
  sed -i 's/\r$//' "$scratch/stdout" "$scratch/stderr"
  return $status
}
lines() {  # <name> <family> <win> <rights> <release> <tail> <step> <why>
  printf 'set KNAME=%s\nset KFAM=%s\nset KWIN=%s\nset KRIGHTS=%s\nset KREL=%s\nset KTAIL=%s\nset KSTEP=%s\nset KWHY=%s' "$@"
}

# ---- the computer name ---------------------------------------------------------
# Wine's first process of a server session takes the host name (its first
# label, upper case, at most 15 characters); the volatile ActiveComputerName
# value, set within the session, is what GetComputerNameA answers then.
host=$(hostname | cut -d. -f1 | tr '[:lower:]' '[:upper:]' | cut -c1-15)
version winxp
kit state 'C:\kit'
check "the host's name, as Wine gives it" "set KNAME=$host" "$(head -1 "$scratch/stdout")"
import name '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\ComputerName\ActiveComputerName]
"ComputerName"="KITPC01"'

# ---- state and mark ------------------------------------------------------------
kit state 'C:\kit'
check "XP, no record" "$(lines KITPC01 xp 5.1.2600 yes '' '' collect unreleased)" \
  "$(cat "$scratch/stdout")"
printf 'release=R1\r\ntail=-gina /S /I1\r\n' > "$drive/kit/REL/KITPC01.TXT"
kit state 'C:\kit'
check "XP, released" "$(lines KITPC01 xp 5.1.2600 yes R1 '-gina /S /I1' run released)" \
  "$(cat "$scratch/stdout")"
kit mark started R1
kit state 'C:\kit'
check "started, not done" "$(lines KITPC01 xp 5.1.2600 yes R1 '-gina /S /I1' after interrupted)" \
  "$(cat "$scratch/stdout")"
kit mark done R1
kit state 'C:\kit'
check "done" "$(lines KITPC01 xp 5.1.2600 yes R1 '-gina /S /I1' done done)" "$(cat "$scratch/stdout")"
wine regedit /e 'C:\marks.reg' 'HKEY_LOCAL_MACHINE\SOFTWARE\Rollout Kit' 2>/dev/null
check "the marks in the registry" '"Done"="R1"
"Started"="R1"' "$(iconv -f UTF-16 -t UTF-8 "$drive/marks.reg" | tr -d '\r' | grep '^"' | sort)"

printf 'release=R2\r\ntail=/S & del x\r\n' > "$drive/kit/REL/KITPC02.TXT"
kit state 'C:\kit' KITPC02
check "a record that fails the checks" "$(lines KITPC02 xp 5.1.2600 yes '' '' skip record)" \
  "$(cat "$scratch/stdout")"
kit state 'C:\kit\' con
check "a device name" "$(lines '' xp 5.1.2600 yes '' '' skip name)" "$(cat "$scratch/stdout")"

version win98
printf 'release=R3\ntail=/S /I1\n' > "$drive/kit/REL/PC98.TXT"
kit state 'C:\kit' PC98
check "98" "$(lines PC98 9x 4.10.2222 yes R3 '/S /I1' run released)" "$(cat "$scratch/stdout")"
version win7
kit state 'C:\kit'
check "7 is skipped" "$(lines KITPC01 other 6.1.7601 yes R1 '-gina /S /I1' skip windows)" \
  "$(cat "$scratch/stdout")"
version winxp

# The lines as a login script uses them: written to a file and called.
printf '@echo off\r\nC:\\kit\\KIT.EXE state C:\\kit > C:\\kit\\kstate.bat\r\ncall C:\\kit\\kstate.bat\r\necho [%%KSTEP%%] [%%KTAIL%%] [%%KREL%%]\r\n' \
  > "$drive/kit/logon.bat"
found=$(wine cmd /c 'C:\kit\logon.bat' 2>/dev/null | tr -d '\r')
check "the lines called from a batch file" "[done] [-gina /S /I1] [R1]" "$found"

# ---- collect -------------------------------------------------------------------
import arrange '[HKEY_LOCAL_MACHINE\SOFTWARE\Corvane\NLX\Settings]
"GinaInstallOption"="0"
"InstallDir"="C:\\Program Files\\Client \"x\""
"wModeSelect"=dword:0000000c
"Blob"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f
"Path"=hex(2):25,77,69,6e,64,69,72,25,00
"List"=hex(7):61,00,62,00,00
@="default"

[HKEY_LOCAL_MACHINE\SOFTWARE\Corvane\Empty]

[HKEY_CURRENT_USER\Software\VERDO Installer]
"InstallOption"="1"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Class\{4D36E972-E325-11CE-BFC1-08002BE10318}\0000]
"ComponentId"="pci\\ven_8086&dev_1229"
"DriverDesc"="Test adapter"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Class\{4D36E972-E325-11CE-BFC1-08002BE10318}\0001]
"ComponentId"="usb\\other"'
mkdir -p "$drive/windows/system32/SilentSetup"
: > "$drive/windows/system32/SilentSetup/setup.exe"
: > "$drive/windows/system32/SilentSetup/setup.iss"
status=0
kit collect 'C:\out\site\KITPC01' || status=$?
check "collect exits 0 and says nothing" "0:" "$status:$(cat "$scratch/stdout" "$scratch/stderr")"
collected=$drive/out/site/KITPC01
check "the files collected" "adapters.reg corvane.reg instuser.reg staged.txt" \
  "$(cd "$collected" && ls | sort | tr '\n' ' ' | sed 's/ $//')"
check "staged.txt" "setup.exe setup.iss" "$(tr -d '\r' < "$collected/staged.txt" | sort | tr '\n' ' ' | sed 's/ $//')"
check "a REGEDIT4 export" "REGEDIT4" "$(head -1 "$collected/corvane.reg" | tr -d '\r')"

# The same keys as regedit exports them, beside the kit's.
by_regedit=$drive/out/regedit/KITPC01
mkdir -p "$by_regedit"
for pair in 'corvane.reg HKEY_LOCAL_MACHINE\SOFTWARE\Corvane' \
            'instmach.reg HKEY_LOCAL_MACHINE\Software\VERDO Installer' \
            'instuser.reg HKEY_CURRENT_USER\Software\VERDO Installer' \
            'adapters.reg HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Class\{4D36E972-E325-11CE-BFC1-08002BE10318}' \
            'marker.reg HKEY_LOCAL_MACHINE\Software\setup install'; do
  wine regedit /e "C:\\out\\regedit\\KITPC01\\${pair%% *}" "${pair#* }" > /dev/null 2>&1 || true
done
cp "$collected/staged.txt" "$by_regedit/staged.txt"
for folder in "$collected" "$by_regedit"; do
  printf '\r\nMicrosoft Windows XP [Version 5.1.2600]\r\n' > "$folder/ver.txt"
done
status=0
"$preview" plan --json --tail "-gina /S /I1" "$collected" > "$scratch/kit.json" 2> "$scratch/kit.err" || status=$?
check "the preview plans the kit's collection" "0:" "$status:$(cat "$scratch/kit.err")"
"$preview" plan --json --tail "-gina /S /I1" "$by_regedit" > "$scratch/regedit.json" 2>/dev/null || true
check "the same plan as from regedit's exports" "$(cat "$scratch/regedit.json")" \
  "$(sed 's/site\\\\KITPC01/regedit\\\\KITPC01/g; s#site/KITPC01#regedit/KITPC01#g' "$scratch/kit.json")"
check "the plan read the settings: GinaInstallOption 0 before" "0" \
  "$(python3 -c 'import json, sys
print(*[c["before"]["data"] for c in json.load(sys.stdin)["changes"]
        if c["name"] == "GinaInstallOption" and c["before"]])' < "$scratch/kit.json")"

# Collected again after a key went: no stale export, and no ver.txt, which
# the script writes only once the collection is whole.
import remove '[-HKEY_CURRENT_USER\Software\VERDO Installer]'
kit collect 'C:\out\site\KITPC01'
check "collected again: no stale export, ver.txt left to the script" \
  "adapters.reg corvane.reg staged.txt" \
  "$(cd "$collected" && ls | sort | tr '\n' ' ' | sed 's/ $//')"

# ---- log -----------------------------------------------------------------------
today=$(date +%Y-%m-%d)
kit log 'C:\out\logon.log' KITPC01 run started -gina /S /I1
kit log 'C:\out\logon.log' KITPC01 done
log=$(tr -d '\r' < "$drive/out/logon.log" | sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} /DATE TIME /')
check "the log's lines" "DATE TIME KITPC01 run started -gina /S /I1
DATE TIME KITPC01 done" "$log"
check "dated today" "$today" "$(head -c 10 "$drive/out/logon.log")"
check "CR LF line ends" "2" "$(grep -c $'\r$' "$drive/out/logon.log")"

# ---- failures ------------------------------------------------------------------
status=0
kit bogus || status=$?
check "an unknown command" "1::kit: usage:" "$status:$(cat "$scratch/stdout"):$(cut -c1-11 "$scratch/stderr")"
check "one line on standard error" "1" "$(wc -l < "$scratch/stderr" | tr -d ' ')"

echo
if [ "$failures" -ne 0 ]; then
  echo "kit_wine_test: $failures check(s) failed"
  exit 1
fi
echo "kit_wine_test: every check passed"
