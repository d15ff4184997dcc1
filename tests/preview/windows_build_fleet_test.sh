#!/usr/bin/env bash
# The Windows build of the preview under Wine finds the same machines as the
# host build: a generated fleet laid out in sites, nested two deep, with
# folder names in the ANSI code page's letters and beyond it (Cyrillic, CJK,
# a character outside the BMP), an empty folder, a stray export beside the
# machines, and after folders mirrored and flat. Both builds plan the same
# folders; their CSVs must be equal line for line (rows sorted: the two
# sort names in UTF-16 and UTF-8 order), error cells only as present or
# absent, as their path forms differ.
#   windows_build_fleet_test.sh <launcher-preview.exe> <host launcher-preview> <fleet_generate>
# Settings: E2E_SCRATCH (the Wine prefix goes below it).
set -euo pipefail
exe=${1:?usage: windows_build_fleet_test.sh <launcher-preview.exe> <host launcher-preview> <fleet_generate>}
host=${2:?}
generate=${3:?}
cd "$(dirname "$0")/../.."
repo=$PWD
scratch=${E2E_SCRATCH:-/tmp/silent-launcher-e2e}/windows-build-fleet
fail() { echo "not ok - $*"; exit 1; }

export WINEDEBUG=-all WINEARCH=win32 WINEPREFIX=$scratch/prefix
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY
if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
rm -rf "$scratch"
mkdir -p "$scratch"
bash scripts/wine-prefix.sh "$WINEPREFIX"
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  clang --target=i386-linux-gnu -O2 -fPIC -shared -nostdlib -Wall -Werror \
    tests/e2e/qemu_reserve_shim.c -o "$scratch/shim.so"
  export QEMU_SET_ENV=LD_PRELOAD=$scratch/shim.so
fi

drive_c=$WINEPREFIX/drive_c
gen=$scratch/generated
"$generate" "$gen" 24 5 > /dev/null || fail "fleet_generate failed"
names=("pc00013 Büro" "Zürich-07" "Ĳssel" "pc2 Москва" "pc3 東京" "pc4 𝔉leet" "PC042" "pc042"
       "plain-1" "plain-2" "Æble" "Ωmega")
fleet=$drive_c/fleet
after=$drive_c/after
k=0
for machine in "$gen"/*/; do
  name=${names[$((k % ${#names[@]}))]}
  # Names apart but for PC042 and pc042, which clash without regard to case.
  [ $k -ge ${#names[@]} ] && name="$name $k"
  site=site$((k % 3))
  [ $k -ge 12 ] && site="$site/inner $((k % 2))"
  mkdir -p "$fleet/$site"
  cp -r "$machine" "$fleet/$site/$name"
  # After folders: mirrored for some, flat for others, none for the rest.
  case $((k % 4)) in
    0) mkdir -p "$after/$site"; cp -r "$machine" "$after/$site/$name" ;;
    1) [ -e "$after/$name" ] || cp -r "$machine" "$after/$name" ;;
  esac
  k=$((k + 1))
done
mkdir -p "$fleet/site1/empty"
printf 'REGEDIT4\r\n' > "$fleet/site0/backup.reg"

args=(fleet --tail-for 9x="/S /I1" --tail "-gina /S /I1")
"$host" "${args[@]}" --after-root "$after" "$fleet" > "$scratch/host.csv" 2> "$scratch/host.err" || true
env -u QEMU_SET_ENV wineserver -p
status=0
wine "$exe" "${args[@]}" --jobs 1 --after-root 'C:\after' 'C:\fleet' \
  > "$scratch/windows.csv" 2> "$scratch/windows.err" || status=$?
wineserver -k 2>/dev/null || true
[ "$status" -le 1 ] || { cat "$scratch/windows.err"; fail "the Windows build ended with $status"; }

python3 - "$scratch/host.csv" "$scratch/windows.csv" <<'PY' || exit 1
import csv, sys
def rows(path):
    with open(path, encoding="utf-8", newline="") as f:
        table = list(csv.reader(f))
    header, body = table[0], table[1:]
    error = header.index("error")
    for row in body:
        row[error] = "error" if row[error] else ""
    return header, sorted(body)
hh, host = rows(sys.argv[1])
wh, windows = rows(sys.argv[2])
problems = []
if hh != wh:
    problems.append("headers differ")
if len(host) != len(windows):
    problems.append(f"{len(host)} rows on the host, {len(windows)} on Windows")
missing = {r[0] for r in host} ^ {r[0] for r in windows}
if missing:
    problems.append(f"machines in one build only: {sorted(missing)}")
for a, b in zip(host, windows):
    if a != b:
        problems.append(f"row differs:\n      host:    {a}\n      windows: {b}")
        break
if problems:
    print("not ok - the Windows build's fleet against the host's:\n    " + "\n    ".join(problems))
    sys.exit(1)
names = [r[0] for r in host]
print(f"ok - the Windows build under Wine found and planned the same {len(host)} folders as the "
      f"host build, names beyond the ANSI code page included ({sum(not n.isascii() for n in names)} of them)")
PY
grep -q "backup.reg beside machine folders" "$scratch/windows.err" ||
  fail "the Windows build did not warn of the export beside the machine folders"
echo "ok - the Windows build warned of the export beside the machine folders"
