#!/usr/bin/env bash
# The rollout kit as login scripts run it, under Wine. Machines are Wine
# prefixes of their own (Windows XP, 2000, 98 and Server 2003, each with its
# computer name); the package, the drop share and the kit lie on host folders
# that every prefix maps as \\SERVER\PKG, \\SERVER\DROP and \\SERVER\NETLOGON
# (dosdevices/unc/server/...), and LOGON.BAT is started from the drive letter
# N: that maps the kit, as Windows 9x maps NETLOGON (Wine's cmd cannot start
# a batch file by a UNC path; the kit's own start /w of
# \\SERVER\PKG\launcher.exe is by a UNC path). Under Windows 98 %OS% is
# unset, so its part for 9x runs (in Wine's cmd).
#
#   logon 1     every machine collects into DROP\before and does nothing else
#   release     launcher-preview fleet DROP\before --release KIT (the tails
#               planned are the tails run); one release then withdrawn
#   logon 2     released machines run the real launcher with the released
#               tail (the end-to-end tests' fake setup) and collect again;
#               one run is killed before its setup ends
#   logon 3     nothing, or the killed run collected, never started again
#   verdicts    launcher-preview fleet --after-root DROP\after: as planned
#               for each run, not finished for the killed one
#
#   kit_rollout_test.sh     (build/win32 and build/host built; fake_setup.exe
#                            is built here when missing)
# Settings: E2E_SCRATCH (scratch folder, /tmp/silent-launcher-e2e).
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
build_dir=$repo/build/win32
preview=$repo/build/host/launcher-preview
scratch=${E2E_SCRATCH:-/tmp/silent-launcher-e2e}/kit-rollout
for f in "$build_dir/launcher.exe" "$build_dir/KIT.EXE" "$preview"; do
  [ -f "$f" ] || { echo "kit rollout: $f is missing; build the win32 and host presets first" >&2; exit 1; }
done

export WINEDEBUG=-all WINEARCH=win32
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINEPATH='C:\windows\system32;C:\windows'
# What every Windows sets and a bare prefix lacks: windir here, TEMP and OS
# (on NT only) for the logon below, as host tools read TEMP too.
export windir='C:\windows'
unset DISPLAY WAYLAND_DISPLAY OS

if [ -d "$scratch" ]; then
  for p in "$scratch"/*/prefix; do [ -d "$p" ] && WINEPREFIX=$p wineserver -k 2>/dev/null || true; done
fi
rm -rf "$scratch"
mkdir -p "$scratch/share"
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  clang --target=i386-linux-gnu -O2 -fPIC -shared -nostdlib -Wall -Werror \
    tests/e2e/qemu_reserve_shim.c -o "$scratch/shim.so"
  export QEMU_SET_ENV=LD_PRELOAD=$scratch/shim.so
fi
fake_setup=$build_dir/e2e/fake_setup.exe
if [ ! -f "$fake_setup" ] || [ tests/e2e/fake_setup.cc -nt "$fake_setup" ]; then
  mkdir -p "$(dirname "$fake_setup")"
  i686-w64-mingw32-g++ -std=c++17 -O1 -Wall -Wextra -Werror -fno-exceptions -fno-rtti -static \
    -s -mwindows -I"$repo" tests/e2e/fake_setup.cc -o "$fake_setup"
fi

share=$scratch/share
pkg=$share/pkg drop=$share/drop kit=$share/netlogon
bash tests/e2e/make_package.sh "$build_dir/launcher.exe" "$fake_setup" "$pkg"
mkdir -p "$drop/before" "$drop/after" "$drop/log"
"$preview" rollout-kit --package '\\SERVER\PKG' --drop '\\SERVER\DROP' \
  --helper "$build_dir/KIT.EXE" "$kit" 2> /dev/null

failures=0
fail() { echo "not ok - $*"; failures=$((failures + 1)); }
ok() { echo "ok - $*"; }

# A matching adapter, so that 2000 and XP have the adapters' key they always
# have, and the /wbs tail has an adapter to tune.
adapters='[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Class\{4D36E972-E325-11CE-BFC1-08002BE10318}\0007]
"ComponentId"="PCI\\VEN_FC7A&DEV_1001&SUBSYS_0001FC7A"
'

# machine <name> <Wine version> [setup script]: a prefix with the shares.
machine() {
  local name=$1 version=$2 script=${3:-}
  local prefix=$scratch/$name/prefix
  bash scripts/wine-prefix.sh "$prefix"
  # C:\e2e: where the fake setup keeps its log.
  mkdir -p "$prefix/dosdevices/unc/server" "$prefix/drive_c/windows/temp" "$prefix/drive_c/e2e"
  # Wine makes c: and z: only where it makes dosdevices itself.
  ln -s ../drive_c "$prefix/dosdevices/c:"
  ln -s / "$prefix/dosdevices/z:"
  ln -s "$pkg" "$prefix/dosdevices/unc/server/pkg"
  ln -s "$drop" "$prefix/dosdevices/unc/server/drop"
  ln -s "$kit" "$prefix/dosdevices/unc/server/netlogon"
  ln -s "$kit" "$prefix/dosdevices/n:"
  # regedit takes LF line ends too.
  {
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine]\n"Version"="%s"\n\n' "$version"
    printf '[HKEY_CURRENT_USER\\Environment]\n"TEMP"="C:\\\\windows\\\\temp"\n\n'
    [ "$version" = win98 ] || printf '%s\n' "$adapters"
    if [ -n "$script" ]; then
      printf '[HKEY_LOCAL_MACHINE\\Software\\E2E Control]\n"Script"="%s"\n\n' "$script"
    fi
  } > "$prefix/drive_c/machine.reg"
  echo "$version" > "$scratch/$name/version"
}

# session <name>: the machine's wineserver, its registry and its computer
# name (Wine takes the host's at each start; the volatile value names it).
session() {
  local name=$1 prefix=$scratch/$1/prefix
  export WINEPREFIX=$prefix
  # It ends a few seconds after the last program, saving the registry.
  env -u QEMU_SET_ENV wineserver -p5 > /dev/null 2>&1
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName]\r\n"ComputerName"="%s"\r\n' \
    "$name" > "$prefix/drive_c/name.reg"
  wine regedit /s 'C:\name.reg' > /dev/null 2>&1
  wine regedit /s 'C:\machine.reg' > /dev/null 2>&1
}

# logon <name> <number>: LOGON.BAT from N:, as the login script calls it.
logon() {
  local name=$1 number=$2
  session "$name"
  local os=()
  [ "$(cat "$scratch/$name/version")" = win98 ] || os=(OS=Windows_NT)
  env "${os[@]}" timeout 600 wine cmd /c 'n:\LOGON.BAT' \
    > "$scratch/$name/logon$number.out" 2>&1 || true
  WINEPREFIX=$scratch/$name/prefix wineserver -w 2>/dev/null || true
}

starts() {  # how often the machine's setup started
  local log=$scratch/$1/prefix/drive_c/e2e/setup-log.txt
  if [ -f "$log" ]; then grep -c '^start' "$log" || true; else echo 0; fi
}
last_word() {  # the word of the machine's last log line
  local log=$drop/log/$1.TXT
  [ -f "$log" ] && tr -d '\r' < "$log" | tail -n 1 | cut -d' ' -f4 || echo none
}

machine PCXP winxp
machine PC2K win2k
machine PC98 win98
machine PCSRV win2003
machine PCWD winxp
# The killed run: its setup holds the marker key for ten minutes.
machine PCKILL winxp "sleep:600000"
all=(PCXP PC2K PC98 PCSRV PCWD PCKILL)

echo "kit rollout: logon 1"
for m in "${all[@]}"; do logon "$m" 1 & done
wait
for m in PCXP PC2K PC98 PCWD PCKILL; do
  [ "$(last_word "$m")" = collected ] && [ -f "$drop/before/$m/ver.txt" ] &&
    [ "$(starts "$m")" = 0 ] || fail "logon 1 of $m: [$(last_word "$m")], ver.txt, $(starts "$m") setups"
  [ -d "$scratch/$m/prefix/drive_c/windows/system32/SilentSetup" ] && fail "logon 1 of $m staged"
done
[ "$(last_word PCSRV)" = skipped ] && [ ! -e "$drop/before/PCSRV" ] ||
  fail "logon 1 of the 2003 machine: [$(last_word PCSRV)]"
[ "$failures" = 0 ] && ok "logon 1: five machines collected, nothing staged; the 2003 machine skipped"

echo "kit rollout: release"
tails=(--tail-for 9x="/S /I1" --tail-for 2000="-gina /S /I1" --tail "/S /I1 /wbs")
"$preview" fleet "${tails[@]}" --release "$kit" "$drop/before" > "$scratch/release.csv" \
  2> "$scratch/release.err" || { cat "$scratch/release.err"; fail "fleet --release"; }
"$preview" fleet "${tails[@]}" --release "$kit" --withdraw PCWD "$drop/before" > /dev/null \
  2>> "$scratch/release.err" || fail "fleet --withdraw"
released=$(cd "$kit/REL" && ls | sort | paste -sd' ' -)
[ "$released" = "PC2K.TXT PC98.TXT PCKILL.TXT PCXP.TXT" ] || fail "released: $released"
grep -qx 'tail=/S /I1' < <(tr -d '\r' < "$kit/REL/PC98.TXT") || fail "PC98's record: $(cat "$kit/REL/PC98.TXT")"
[ "$failures" = 0 ] && ok "release: four machines released with their planned tails, one withdrawn"

echo "kit rollout: logon 2"
for m in PCXP PC2K PC98 PCSRV PCWD; do logon "$m" 2 & done
# The killed run: its logon in the background, killed once its setup runs.
( logon PCKILL 2 ) &
killed=$!
for ((i = 0; i < 300; i++)); do
  [ "$(starts PCKILL)" = 1 ] && break
  sleep 1
done
sleep 3
WINEPREFIX=$scratch/PCKILL/prefix wineserver -k 2>/dev/null || true
wait
for m in PCXP PC2K PC98; do
  [ "$(last_word "$m")" = done ] && [ "$(starts "$m")" = 1 ] && [ -f "$drop/after/$m/ver.txt" ] ||
    fail "logon 2 of $m: [$(last_word "$m")], $(starts "$m") setups"
done
[ "$(last_word PCWD)" = collected ] && [ "$(starts PCWD)" = 0 ] ||
  fail "logon 2 of the withdrawn machine: [$(last_word PCWD)], $(starts PCWD) setups"
[ "$(starts PCKILL)" = 1 ] && [ "$(last_word PCKILL)" = started ] ||
  fail "logon 2 of the killed run: [$(last_word PCKILL)], $(starts PCKILL) setups"
[ "$failures" = 0 ] && ok "logon 2: three runs and their collections, the withdrawn machine only collected, one run killed"

echo "kit rollout: logon 3"
for m in "${all[@]}"; do logon "$m" 3 & done
wait
for m in PCXP PC2K PC98; do
  [ "$(last_word "$m")" = idle ] && [ "$(starts "$m")" = 1 ] ||
    fail "logon 3 of $m: [$(last_word "$m")], $(starts "$m") setups"
done
[ "$(last_word PCKILL)" = recovered ] && [ "$(starts PCKILL)" = 1 ] ||
  fail "logon 3 of the killed run: [$(last_word PCKILL)], $(starts PCKILL) setups"
# A line a logon, and two for the logon that runs the launcher: one before
# it starts (all the killed run leaves), one when it is done.
words() { tr -d '\r' < "$drop/log/$1.TXT" | cut -d' ' -f4 | tr '\n' ' ' | sed 's/ $//'; }
for expected in "PCXP collected started done idle" "PC2K collected started done idle" \
                "PC98 collected started done idle" "PCKILL collected started recovered" \
                "PCSRV skipped skipped skipped" "PCWD collected collected collected"; do
  m=${expected%% *}
  [ "$m $(words "$m")" = "$expected" ] || fail "$m's log after 3 logons: [$(words "$m")]"
done
[ "$failures" = 0 ] && ok "logon 3: nothing for the done machines, the killed run collected and not started again"

echo "kit rollout: verdicts"
"$preview" fleet "${tails[@]}" --after-root "$drop/after" --kit "$kit" --logs "$drop/log" \
  "$drop/before" > "$scratch/verdicts.csv" 2> "$scratch/verdicts.err" || true
python3 - "$scratch/verdicts.csv" <<'PY' || failures=$((failures + 1))
import csv, sys
rows = {r["machine"]: r for r in csv.DictReader(open(sys.argv[1], encoding="utf-8", newline=""))}
want = {"PCXP": "as planned", "PC2K": "as planned", "PC98": "as planned",
        "PCKILL": "not finished", "PCWD": "not collected"}
problems = [f"{m}: {rows.get(m, {}).get('verdict')}, expected {v} "
            f"({rows.get(m, {}).get('differences', '')})" for m, v in want.items()
            if rows.get(m, {}).get("verdict") != v]
if "PCSRV" in rows:
    problems.append("the skipped 2003 machine was collected")
for m in ("PCXP", "PC2K", "PC98", "PCKILL"):
    if not rows.get(m, {}).get("release"):
        problems.append(f"{m}: no release in the CSV")
if problems:
    print("not ok - verdicts:\n    " + "\n    ".join(problems))
    sys.exit(1)
print("ok - verdicts: as planned for the three runs, not finished for the killed one, "
      "the withdrawn machine not collected")
PY
[ "$failures" = 0 ] || { echo "kit rollout: $failures failed; logs in $scratch"; exit 1; }
echo "kit rollout: all passed"
