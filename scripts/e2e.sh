#!/usr/bin/env bash
# End-to-end tests of the real launcher.exe under Wine: builds the test
# runner and the fake setup, assembles the sample package, and runs every
# case inside one Wine session on a bare scratch prefix.
# Exits with the runner's status. Arguments go to the runner (--demo for the
# demo's showcase runs, --only=1,2 for a few cases, --slack=6000 on a slow
# machine).
#
# Settings (environment):
#   E2E_BUILD_DIR    where launcher.exe was built        (build/win32)
#   E2E_SCRATCH      the scratch prefix and package      (/tmp/silent-launcher-e2e)
#   E2E_TIME_LIMIT   seconds the whole matrix may take   (3600)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

build_dir=${E2E_BUILD_DIR:-$repo/build/win32}
launcher=$build_dir/launcher.exe
out=$build_dir/e2e
scratch=${E2E_SCRATCH:-/tmp/silent-launcher-e2e}
time_limit=${E2E_TIME_LIMIT:-3600}

export WINEDEBUG=-all
export WINEARCH=win32
# No menu entries, file associations or mono/gecko downloads in the prefix.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# Nothing here shows a window, and under user-mode emulation Wine's X11
# driver breaks the prefix boot: run without a display.
unset DISPLAY WAYLAND_DISPLAY

now() { date +%s; }
say() { echo "e2e: $*"; }

[ -f "$launcher" ] || { echo "e2e: $launcher is missing; build the win32 preset first" >&2; exit 1; }

# ---- test programs ----------------------------------------------------------
# Built directly: they use the C runtime and the standard library, unlike the
# launcher, and need nothing of its build settings.
cxx=i686-w64-mingw32-g++
cxxflags=(-std=c++17 -O1 -Wall -Wextra -Werror -fno-exceptions -fno-rtti -static -s -I"$repo")
mkdir -p "$out"
build() {  # <output> <extra flags...> -- <sources...>
  local target=$1; shift
  local flags=() sources=()
  while [ "$1" != "--" ]; do flags+=("$1"); shift; done; shift
  sources=("$@")
  local newer=0 s
  for s in "${sources[@]}" tests/e2e/*.h; do [ "$s" -nt "$target" ] && newer=1; done
  if [ ! -f "$target" ] || [ $newer = 1 ]; then
    say "building $(basename "$target")"
    "$cxx" "${cxxflags[@]}" "${flags[@]}" "${sources[@]}" -o "$target"
  fi
}
build "$out/runner.exe" -- tests/e2e/runner.cc tests/e2e/world.cc tests/e2e/cases.cc \
  adapter/hardware_ids.cc
build "$out/fake_setup.exe" -mwindows -- tests/e2e/fake_setup.cc

# ---- cases ------------------------------------------------------------------
# Under user-mode emulation every Windows process costs about a minute of
# CPU before its first instruction, so the default run is a set that covers
# every family, staging, dispatch, carry-over, the install type and the wait,
# split over two Wine sessions that run side by side. --full runs the whole
# matrix (134 cases: several hours under emulation, minutes on a machine
# that runs 32-bit programs natively).
shards=("22,97,61,105,121,130,134" "11,47,107,112,114,125,131,133")
runner_args=()
demo=0
for arg in "$@"; do
  case $arg in
    --full) shards=("") ;;
    --demo) shards=(""); demo=1; runner_args+=("$arg") ;;
    *) runner_args+=("$arg") ;;
  esac
done
# Emulation makes every start slow: generous limits, unless told otherwise.
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  runner_args=(--timeout=900 --slack=300000 "${runner_args[@]}")
fi

# ---- one Wine session: a bare prefix, the package, the runner -----------------
run_shard() {  # <scratch folder> <only list or ""> <log>
  local dir=$1 only=$2 log=$3
  export WINEPREFIX=$dir/prefix
  if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$dir"
  mkdir -p "$dir"
  bash scripts/wine-prefix.sh "$WINEPREFIX"

  local root=$WINEPREFIX/drive_c/e2e
  bash tests/e2e/make_package.sh "$launcher" "$out/fake_setup.exe" "$root/pkg"
  mkdir -p "$root/pkg with blanks"
  cp -a "$root/pkg" "$root/pkg with blanks/Disk 1"
  mkdir -p "$root/bin"
  cp "$out/runner.exe" "$root/bin/runner.exe"

  local args=("${runner_args[@]}")
  [ -n "$only" ] && args+=("--only=$only")
  local status=0
  timeout --kill-after=30 "$time_limit" \
    wine 'C:\e2e\bin\runner.exe' "${args[@]}" 'C:\e2e\pkg' 'C:\e2e\pkg with blanks\Disk 1' \
    > "$log" 2>&1 || status=$?
  wineserver -k 2>/dev/null || true
  [ $status = 124 ] && echo "e2e: did not finish within $time_limit s" >> "$log"
  return $status
}

say "running the launcher under Wine (${#shards[@]} session(s))"
start=$(now)
mkdir -p "$scratch"
pids=()
for i in "${!shards[@]}"; do
  run_shard "$scratch/s$i" "${shards[$i]}" "$scratch/s$i.log" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done

passed=0 failed=0
for i in "${!shards[@]}"; do
  log=$scratch/s$i.log
  grep -v -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | grep -v '^wine: ' || true
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1 || true)
  if [ -z "$line" ]; then
    echo "e2e: session $i ended without a result"; status=1; continue
  fi
  passed=$(( passed + $(echo "$line" | cut -d' ' -f1) ))
  failed=$(( failed + $(echo "$line" | cut -d' ' -f3) ))
done
say "finished in $(( $(now) - start )) s"
[ "$failed" -gt 0 ] && status=1
[ $demo = 1 ] || echo "$passed passed, $failed failed"
exit $status
