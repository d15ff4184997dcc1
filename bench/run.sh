#!/usr/bin/env bash
# Benchmark of the built launcher.exe (not part of the tests): its size and
# imports, then under Wine the delay from its start to the setup's start
# against a plain copy of the same files, and the CPU time and peak memory
# of a 30 s "/wbs" wait over 64 adapter keys. Where Wine runs under
# qemu-user, every figure includes the emulation.
#
# Settings (environment): BENCH_BUILD_DIR (build/win32), BENCH_SCRATCH
# (/tmp/silent-launcher-bench), BENCH_RUNS timed runs of each start (3).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build_dir=${BENCH_BUILD_DIR:-$repo/build/win32}
launcher=$build_dir/launcher.exe
scratch=${BENCH_SCRATCH:-/tmp/silent-launcher-bench}
runs=${BENCH_RUNS:-3}
[ -f "$launcher" ] || { echo "bench: $launcher is missing; build the win32 preset first" >&2; exit 1; }

export WINEDEBUG=-all WINEARCH=win32
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY

# ---- 1. size and imports ------------------------------------------------------
echo "== launcher.exe"
i686-w64-mingw32-objdump -p "$launcher" | awk '
  /^The Import Tables/ { on = 1; next }
  on && /^[A-Z]/ { on = 0 }
  on && /DLL Name:/ { dll = $3; next }
  on && dll != "" && /^\t[0-9a-f]+\t/ { list[dll] = list[dll] " " $3; n[dll]++ }
  END { for (d in list) printf "%s (%d):%s\n", d, n[d], list[d] }' | fold -s -w 100
bash scripts/check_exe.sh "$launcher"

# ---- helpers, prefix, package ---------------------------------------------------
mkdir -p "$scratch"
cxx=(i686-w64-mingw32-g++ -std=c++17 -O1 -Wall -Wextra -Werror -fno-exceptions -fno-rtti -static -s -I"$repo")
"${cxx[@]}" bench/probe.cc -o "$scratch/probe.exe"
"${cxx[@]}" -mwindows tests/e2e/fake_setup.cc -o "$scratch/fake_setup.exe"
emulated=no
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  emulated=yes
  clang --target=i386-linux-gnu -O2 -fPIC -shared -nostdlib -Wall -Werror \
    tests/e2e/qemu_reserve_shim.c -o "$scratch/qemu_reserve_shim.so"
  export QEMU_SET_ENV=LD_PRELOAD=$scratch/qemu_reserve_shim.so
fi

export WINEPREFIX=$scratch/prefix
[ -d "$WINEPREFIX" ] && { wineserver -k 2>/dev/null || true; }
bash scripts/wine-prefix.sh "$WINEPREFIX"
root=$WINEPREFIX/drive_c/e2e
bash tests/e2e/make_package.sh "$launcher" "$scratch/fake_setup.exe" "$root/pkg"
head -c $((4 << 20)) /dev/urandom > "$root/pkg/data1.cab"
mkdir -p "$root/bin"
cp "$scratch/probe.exe" "$root/bin/probe.exe"
env -u QEMU_SET_ENV wineserver -p
trap 'env -u QEMU_SET_ENV wineserver -k 2>/dev/null || true' EXIT
probe() { wine 'C:\e2e\bin\probe.exe' "$@" < /dev/null | tr -d '\r'; }
# The first start of a fresh prefix builds its registry; not timed.
probe copy 'C:\e2e\pkg' > /dev/null

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# ---- 2. start to setup ------------------------------------------------------------
echo "== start to setup start, package with a 4 MiB data1.cab (emulated: $emulated, $runs runs, median)"
launch=() copy=()
for ((i = 0; i < runs; i++)); do
  launch+=("$(probe launch 'C:\e2e\pkg' 0 0 '' | awk '/start_to_setup_ms/ { print $2 }')")
  copy+=("$(probe copy 'C:\e2e\pkg' | awk '/start_to_setup_ms/ { print $2 }')")
done
l=$(printf '%s\n' "${launch[@]}" | median)
c=$(printf '%s\n' "${copy[@]}" | median)
echo "launcher (option \"\", winxp):        ${l} ms   (runs: ${launch[*]})"
echo "CopyFileA of the 9 files + start:     ${c} ms   (runs: ${copy[*]})"
awk -v l="$l" -v c="$c" 'BEGIN { printf "ratio launcher / plain copy:         %.2f\n", l / c }'

# ---- 3. a 30 s /wbs wait ------------------------------------------------------------
echo "== /S /I1 /wbs on winxp, 64 adapter keys, setup holding the marker key 30 s"
hz=$(getconf CLK_TCK)
server=$(pgrep -n wineserver || true)
server_cpu() { [ -n "$server" ] && awk '{ print $14 + $15 }' "/proc/$server/stat" 2>/dev/null || echo 0; }
server_before=$(server_cpu)
probe launch 'C:\e2e\pkg' 30000 64 '/S /I1 /wbs' > "$scratch/wait.out" &
probe_job=$!
pid=""
for ((i = 0; i < 200; i++)); do
  [ -z "$pid" ] || break
  for p in /proc/[0-9]*; do
    cmd=$(tr '\0' ' ' 2>/dev/null < "$p/cmdline" || true)
    case $cmd in *probe.exe*) ;; *'pkg\launcher.exe'*) pid=${p#/proc/}; break ;; esac
  done
  [ -n "$pid" ] || sleep 0.1
done
cpu=0 hwm=0 started=$(date +%s.%N)
while [ -n "$pid" ] && [ -r "/proc/$pid/stat" ]; do
  now_cpu=$(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null || echo "$cpu")
  now_hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo "$hwm")
  cpu=${now_cpu:-$cpu} hwm=${now_hwm:-$hwm}
  sleep 0.2
done
ended=$(date +%s.%N)
wait "$probe_job" || true
server_after=$(server_cpu)
[ -n "$pid" ] || { echo "bench: the launcher process was not found" >&2; exit 1; }
awk -v t="$cpu" -v hz="$hz" -v a="$started" -v b="$ended" -v k="$hwm" -v s="$((server_after - server_before))" 'BEGIN {
  printf "launcher process lived  %.1f s (wall)\n", b - a
  printf "launcher CPU time       %.2f s (user + system of its qemu process, start-up included)\n", t / hz
  printf "wineserver CPU meanwhile %.2f s (registry calls are served there)\n", s / hz
  printf "launcher peak memory    %.1f MiB (VmHWM of its qemu process: emulator + Wine + program)\n", k / 1024
}'
