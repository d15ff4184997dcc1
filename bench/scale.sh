#!/usr/bin/env bash
# Benchmark of the preview on large exports (not part of the tests): each
# planned end to end as `launcher-preview plan` plans it, with its wall time
# and the process's peak memory (maximum RSS, from wait4):
#   - a settings key with 100,000 values;
#   - 40,000 keys below the client's key, then a [-key] line for each;
#   - a generated 200 MB whole-registry export (version 5, UTF-16LE), and
#     the same with --after (every key of the file kept);
#   - launcher-preview.exe (the win32 preset's build, when present) under
#     Wine planning the 200 MB export.
# Builds the optimized `release` preset first. Figures only, no limits.
#   bash bench/scale.sh [runs (3)] [MB of the export (200)]
# Settings (environment): BENCH_SCRATCH (/tmp/launcher-preview-scale).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
runs=${1:-3}
megabytes=${2:-200}
scratch=${BENCH_SCRATCH:-/tmp/launcher-preview-scale}
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target launcher-preview scale_files >/dev/null
preview=$repo/build/release/launcher-preview

rm -rf "$scratch"
mkdir -p "$scratch"
build/release/scale_files values 100000 "$scratch/corvane.reg"
build/release/scale_files deletions 40000 "$scratch/deletions.reg"
build/release/scale_files whole "$megabytes" "$scratch/all.reg"

# Runs a command `runs` times (output dropped); prints the median wall time
# and the largest peak RSS of its process.
measure() {
  python3 - "$runs" "$@" <<'EOF'
import os, sys, time
runs, args = int(sys.argv[1]), sys.argv[2:]
seconds, peak = [], 0
for _ in range(runs):
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        null = os.open(os.devnull, os.O_RDWR)
        os.dup2(null, 0); os.dup2(null, 1); os.dup2(null, 2)
        os.execvp(args[0], args)
    _, status, usage = os.wait4(pid, 0)
    seconds.append(time.monotonic() - start)
    peak = max(peak, usage.ru_maxrss)  # KiB on Linux
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("bench: %s failed" % " ".join(args))
seconds.sort()
print("median %.2f s (runs: %s), peak RSS %.1f MiB"
      % (seconds[len(seconds) // 2], " ".join("%.2f" % s for s in seconds), peak / 1024))
EOF
}

size() { python3 -c 'import os,sys; print("%.1f MB" % (os.path.getsize(sys.argv[1]) / 1e6))' "$1"; }

echo "== $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg); $runs runs each"
echo "-- settings key with 100,000 values ($(size "$scratch/corvane.reg")), XP, -gina /S /I1"
measure "$preview" plan --windows xp --tail "-gina /S /I1" "$scratch/corvane.reg"
echo "-- 40,000 keys, then 40,000 [-key] lines ($(size "$scratch/deletions.reg")), XP, -gina /S /I1"
measure "$preview" plan --windows xp --tail "-gina /S /I1" "$scratch/deletions.reg"
echo "-- whole-registry export ($(size "$scratch/all.reg")), XP, /S /I1 /wbs"
measure "$preview" plan --windows xp --tail "/S /I1 /wbs" "$scratch/all.reg"
echo "-- the same with --after (every key of the file kept and written)"
measure "$preview" plan --windows xp --tail "/S /I1 /wbs" --after "$scratch/after.reg" "$scratch/all.reg"

exe=$repo/build/win32/launcher-preview.exe
if [ ! -f "$exe" ]; then
  echo "-- launcher-preview.exe: not built (cmake --preset win32 && cmake --build --preset win32)"
  exit 0
fi
export WINEDEBUG=-all WINEARCH=win32
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY
emulated="natively"
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  emulated="under qemu-user i386 emulation"
  clang --target=i386-linux-gnu -O2 -fPIC -shared -nostdlib -Wall -Werror \
    tests/e2e/qemu_reserve_shim.c -o "$scratch/qemu_reserve_shim.so"
  export QEMU_SET_ENV=LD_PRELOAD=$scratch/qemu_reserve_shim.so
fi
export WINEPREFIX=$scratch/prefix
bash scripts/wine-prefix.sh "$WINEPREFIX"
env -u QEMU_SET_ENV wineserver -p
trap 'env -u QEMU_SET_ENV wineserver -k 2>/dev/null || true' EXIT
cp "$exe" "$scratch/launcher-preview.exe"
wine "$scratch/launcher-preview.exe" table >/dev/null  # the prefix's first start, not timed
echo "-- launcher-preview.exe under Wine $emulated, the whole-registry export, XP, /S /I1 /wbs"
echo "   (peak RSS of the Wine process: emulator, Wine and the program)"
measure wine "$scratch/launcher-preview.exe" plan --windows xp --tail "/S /I1 /wbs" \
  "Z:${scratch//\//\\}\\all.reg"
