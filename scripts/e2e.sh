#!/usr/bin/env bash
# End-to-end tests of the real launcher.exe under Wine: builds the test
# runner and the fake setup, assembles the sample package, and runs every
# case of the matrix, shared among Wine sessions that run side by side, each
# on a bare scratch prefix (scripts/wine-prefix.sh). Exits 0 only when every
# case passed.
#
# Arguments go to the runner (--only=1,2 picks cases by number, --slack=8000
# allows a slower machine), except:
#   --quick   a covering set of 15 cases instead of the whole matrix
#   --full    the whole matrix (the default)
#   --demo    the demo's showcase runs, reported instead of checked
#   --fidelity=N:SEED  N random machines (scripts/fidelity.sh) instead of
#             the matrix, run for real and planned by the preview
#   --cp932   only the code page 932 session (below)
#
# The whole matrix comes with one more session side by side: a few cases
# with double-byte command lines and package folders (numbered from 901),
# run under a Japanese locale, where Wine's ANSI code page is 932, and
# planned by the preview with that code page. Without that locale
# (scripts/install-deps.sh makes it) the session is skipped, and says so.
#
# Some cases start the launcher from a network share (\\E2ESRV\...), which
# each session's prefix maps to host folders beside it.
#
# Each case's registry exports before and after the run and its facts
# (tests/e2e/records.h) are gathered in $out/records/<case>, beside copies of
# the two package folders (packages/) and the host path of session 0's C:
# drive (prefix_drive_c).
#
# Settings (environment):
#   E2E_BUILD_DIR   where launcher.exe was built          (build/win32)
#   E2E_SCRATCH     scratch prefixes, packages and logs   (/tmp/silent-launcher-e2e)
#   E2E_SESSIONS    Wine sessions side by side            (2)
#   E2E_TIME_LIMIT  seconds one session may take          (1800)
#   E2E_CP932_LOCALE  the locale of the code page 932 session (ja_JP.UTF-8)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

build_dir=${E2E_BUILD_DIR:-$repo/build/win32}
launcher=$build_dir/launcher.exe
out=$build_dir/e2e
scratch=${E2E_SCRATCH:-/tmp/silent-launcher-e2e}
sessions=${E2E_SESSIONS:-2}
time_limit=${E2E_TIME_LIMIT:-1800}
cp932_locale=${E2E_CP932_LOCALE:-ja_JP.UTF-8}
cp932_selection=--codepage=932

export WINEDEBUG=-all
export WINEARCH=win32
# No menu entries, file associations or mono/gecko downloads in the prefix.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# A bare prefix has no PATH of its own (wineboot writes it); the collection
# script finds regedit on it, as on Windows.
export WINEPATH='C:\windows\system32;C:\windows'
# Nor windir and OS, which every Windows sets and the collection script
# reads to find the staging folder. Wine is NT underneath: its system folder
# is system32 whatever version it reports.
export windir='C:\windows' OS=Windows_NT
# Nothing here shows a window: run without a display.
unset DISPLAY WAYLAND_DISPLAY

now() { date +%s; }
say() { echo "e2e: $*"; }

[ -f "$launcher" ] || { echo "e2e: $launcher is missing; build the win32 preset first" >&2; exit 1; }
preview_exe=$build_dir/launcher-preview.exe
preview_host=${E2E_PREVIEW:-$repo/build/host/launcher-preview}
[ -f "$preview_exe" ] || { echo "e2e: $preview_exe is missing; build the win32 preset first" >&2; exit 1; }
[ -x "$preview_host" ] || { echo "e2e: $preview_host is missing; build the host preset first" >&2; exit 1; }

# ---- test programs ----------------------------------------------------------
# Built directly: they use the C runtime and the standard library, unlike the
# launcher, and need nothing of its build settings.
cxx=i686-w64-mingw32-g++
cxxflags=(-std=c++17 -O1 -Wall -Wextra -Werror -fno-exceptions -fno-rtti -static -s -I"$repo")
mkdir -p "$out"
stale() {  # <target> <sources...>: true when the target must be rebuilt
  local target=$1 s; shift
  [ -f "$target" ] || return 0
  for s in "$@"; do [ "$s" -nt "$target" ] && return 0; done
  return 1
}
build() {  # <output> <extra flags...> -- <sources...>
  local target=$1; shift
  local flags=()
  while [ "$1" != "--" ]; do flags+=("$1"); shift; done; shift
  if stale "$target" "$@" tests/e2e/*.h preview/exports/exports.h platform/platform.h; then
    say "building $(basename "$target")"
    "$cxx" "${cxxflags[@]}" "${flags[@]}" "$@" -o "$target"
  fi
}
build "$out/runner.exe" -- tests/e2e/runner.cc tests/e2e/world.cc tests/e2e/cases.cc tests/e2e/records.cc \
  adapter/hardware_ids.cc
build "$out/fake_setup.exe" -mwindows -- tests/e2e/fake_setup.cc

# ---- user-mode emulation ----------------------------------------------------
# Where the kernel cannot run 32-bit programs, qemu-i386 runs Wine, and every
# Windows process would spend about a minute in Wine's address-space
# reservation before its first instruction (see the shim). qemu passes the
# shim to its 32-bit processes only.
if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
  shim=$out/qemu_reserve_shim.so
  if stale "$shim" tests/e2e/qemu_reserve_shim.c; then
    say "building $(basename "$shim")"
    clang --target=i386-linux-gnu -O2 -fPIC -shared -nostdlib -Wall -Werror \
      tests/e2e/qemu_reserve_shim.c -o "$shim"
  fi
  export QEMU_SET_ENV=LD_PRELOAD=$shim
fi

# ---- what to run --------------------------------------------------------------
runner_args=()
mode=full
for arg in "$@"; do
  case $arg in
    --quick) mode=quick ;;
    --full) mode=full ;;
    --demo) mode=demo; runner_args+=("$arg") ;;
    --fidelity=*) mode=fidelity; fidelity=${arg#--fidelity=} ;;
    --cp932) mode=cp932 ;;
    *) runner_args+=("$arg") ;;
  esac
done
# A locale that is not generated leaves Wine at code page 1252.
cp932_skip=""
if [ "$(LC_ALL=$cp932_locale locale charmap 2>/dev/null)" != UTF-8 ]; then
  cp932_skip="SKIP: the locale $cp932_locale is not generated (scripts/install-deps.sh makes it); the code page 932 cases did not run"
fi
# One --only or --shard argument per session.
case $mode in
  full)
    selections=()
    for ((i = 0; i < sessions; i++)); do selections+=("--shard=$i/$sessions"); done
    # --only numbers the matrix's cases.
    if [ -z "$cp932_skip" ] && [[ " ${runner_args[*]} " != *" --only="* ]]; then
      selections+=("$cp932_selection")
    fi ;;
  cp932)
    if [ -n "$cp932_skip" ]; then say "$cp932_skip"; exit 77; fi
    selections=("$cp932_selection") ;;
  quick)
    # Every family, staging from a folder with blanks and over read-only
    # leftovers, dispatch with and without response files, carry-over,
    # install type, /wbs during the wait, the family that gets no setup.
    selections=("--only=22,97,61,105,121,130,134" "--only=11,47,107,112,114,125,131,133") ;;
  demo)
    selections=("") ;;
  fidelity)
    selections=()
    for ((i = 0; i < sessions; i++)); do selections+=("--shard=$i/$sessions"); done
    runner_args+=('--fidelity=C:\e2e\fm') ;;
esac

# ---- one Wine session: a bare prefix, the package, the runner -----------------
run_session() {  # <scratch folder> <selection> <output> <Wine's messages>
  local dir=$1 selection=$2 output=$3 messages=$4
  export WINEPREFIX=$dir/prefix
  # Wine takes its ANSI code page from the locale, the server's included.
  [ "$selection" = "$cp932_selection" ] && export LC_ALL=$cp932_locale
  if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$dir"
  mkdir -p "$dir"
  bash scripts/wine-prefix.sh "$WINEPREFIX"

  local root=$WINEPREFIX/drive_c/e2e
  bash tests/e2e/make_package.sh "$launcher" "$out/fake_setup.exe" "$root/pkg"
  mkdir -p "$root/pkg with blanks"
  cp -a "$root/pkg" "$root/pkg with blanks/Disk 1"
  # The network share of tests/e2e/cases.h, as host folders beside the
  # prefix: Wine maps \\SERVER\SHARE to $WINEPREFIX/dosdevices/unc/SERVER/SHARE
  # (a link or a folder), finding each name without regard to case. Wine
  # makes dosdevices, with its c: and z:, only where there is none yet, so
  # those two are made here as Wine makes them.
  local netlogon=$dir/netlogon wlan=$dir/wlan-share unc=$WINEPREFIX/dosdevices/unc
  mkdir -p "$netlogon/Wireless LAN" "$unc/e2esrv"
  cp -a "$root/pkg" "$netlogon/wlan"
  cp -a "$root/pkg" "$netlogon/Wireless LAN/Disk 1"
  cp -a "$root/pkg" "$wlan"
  ln -s ../drive_c "$WINEPREFIX/dosdevices/c:"
  ln -s / "$WINEPREFIX/dosdevices/z:"
  ln -s "$netlogon" "$unc/e2esrv/netlogon"
  ln -s "$wlan" "$unc/e2esrv/wlan"
  mkdir -p "$root/bin"
  cp "$out/runner.exe" "$root/bin/runner.exe"
  if [ $mode = fidelity ]; then
    local shard=${selection#--shard=}
    "$fidelity_generate" "$root/fm" "${fidelity%%:*}" "${fidelity#*:}" "${shard%/*}" "${shard#*/}"
  fi
  # The preview's Windows build and collection script, for the field cases.
  cp "$preview_exe" "$root/bin/launcher-preview.exe"
  "$preview_host" collect-script > "$root/bin/collect.bat"

  local args=("${runner_args[@]}")
  [ -n "$selection" ] && args+=("$selection")
  # The server is started here, so that it does not inherit the shim meant
  # for the 32-bit processes.
  env -u QEMU_SET_ENV wineserver -p
  local status=0
  timeout --kill-after=30 "$time_limit" \
    wine 'C:\e2e\bin\runner.exe' "${args[@]}" 'C:\e2e\pkg' 'C:\e2e\pkg with blanks\Disk 1' \
    > "$output" 2> "$messages" < /dev/null || status=$?
  wineserver -k 2>/dev/null || true
  # The runner's C runtime ends its lines with CR LF.
  sed -i 's/\r$//' "$output"
  # Its case lines carry the tails' bytes in code page 932.
  if [ "$selection" = "$cp932_selection" ]; then
    iconv -c -f CP932 -t UTF-8 "$output" > "$output.utf8" && mv "$output.utf8" "$output"
  fi
  [ $status = 124 ] && echo "e2e: the session did not finish within $time_limit s" >> "$output"
  return $status
}

[ -n "$cp932_skip" ] && [ $mode = full ] && say "$cp932_skip"
say "running the launcher under Wine (${#selections[@]} session(s))"
start=$(now)
records=$out/records
[ $mode = fidelity ] && records=$build_dir/fidelity/records
fidelity_generate=${E2E_FIDELITY_GENERATE:-$repo/build/host/fidelity_generate}
if [ $mode = fidelity ] && [ ! -x "$fidelity_generate" ]; then
  echo "e2e: $fidelity_generate is missing; build the host preset first" >&2; exit 1
fi
rm -rf "$records"
mkdir -p "$scratch"
# Outputs of sessions that do not run this time must not be read.
rm -f "$scratch"/s*.out "$scratch"/s*.wine.log
pids=()
for i in "${!selections[@]}"; do
  run_session "$scratch/s$i" "${selections[$i]}" "$scratch/s$i.out" "$scratch/s$i.wine.log" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done

# ---- records ------------------------------------------------------------------
# Case numbers and demo names differ between sessions, so all go side by side.
mkdir -p "$records"
for i in "${!selections[@]}"; do
  from=$scratch/s$i/prefix/drive_c/e2e/records
  [ -d "$from" ] || continue
  cp -a "$from/." "$records/"
  # Each record's own drive C:, where its machine's package lies.
  session_c=$(cd "$scratch/s$i/prefix/drive_c" && pwd)
  for record in "$from"/*/; do
    printf '%s' "$session_c" > "$records/$(basename "$record")/prefix_drive_c"
  done
done
if [ -d "$scratch/s0/prefix/drive_c/e2e/pkg" ]; then
  drive_c=$(cd "$scratch/s0/prefix/drive_c" && pwd)
  mkdir -p "$records/packages/pkg with blanks"
  cp -a "$drive_c/e2e/pkg" "$records/packages/pkg"
  cp -a "$drive_c/e2e/pkg with blanks/Disk 1" "$records/packages/pkg with blanks/Disk 1"
  printf '%s' "$drive_c" > "$records/prefix_drive_c"
fi

# Every case printed has its record, and the record's verdict is the printed
# one; the demo's reports are what it printed.
record_faults=0
record_fault() { echo "e2e: records: $*"; record_faults=$((record_faults + 1)); }
check_record() {  # <name> <verdict: ok or not ok>
  local dir=$records/$1 file=$records/$1/record.txt
  [ -f "$file" ] || { record_fault "$1 has no record.txt"; return; }
  [ -d "$dir/before" ] && [ -d "$dir/after" ] || record_fault "$1 lacks before/ or after/"
  # Not "tr | grep -q": grep ends at the first line, and under pipefail tr's
  # broken pipe on a long record (a random machine's command line) fails it.
  grep -qx "case=$1" < <(tr -d '\r' < "$file") || record_fault "$1: record.txt names another case"
  [ -z "$2" ] && return
  local result
  result=$(tr -d '\r' < "$file" | grep '^result=' || true)
  case $2:$result in
    ok:result=ok | "not ok:result=not ok: "*) ;;
    *) record_fault "$1 printed $2, record says \"$result\"" ;;
  esac
}
if [ $mode = demo ]; then
  shown=$(grep -c '^=== demo ' "$scratch/s0.out" || true)
  reports=()
  for ((k = 1; k <= shown; k++)); do
    check_record "demo-$k" ""
    reports+=("$records/demo-$k/report.txt")
  done
  [ "$shown" -gt 0 ] || record_fault "no demo ran"
  [ "$shown" -gt 0 ] && ! cat "${reports[@]}" 2>/dev/null | cmp -s - "$scratch/s0.out" &&
    record_fault "the demo's report.txt files differ from what it printed"
else
  while IFS='|' read -r verdict n; do
    check_record "$n" "$verdict"
  done < <(cat "$scratch"/s*.out | sed -n -E 's/^(ok|not ok) ([0-9]+) - .*/\1|\2/p')
fi
[ $record_faults = 0 ] || status=1

# The preview planned from each case's before-exports, against the run.
preview_check=${E2E_PREVIEW_CHECK:-$repo/build/host/preview_check}
if [ ! -x "$preview_check" ]; then
  echo "e2e: $preview_check is missing; build the host preset first"
  status=1
  [ $mode = demo ] && cat "$scratch/s0.out"
elif [ $mode = demo ]; then
  # Each demo run: the plan first, then what the real run did, and whether
  # they agree.
  "$preview_check" "$records" --demo || status=1
fi

if [ $mode = demo ]; then
  :
else
  # The sessions' case lines in case order, then one summary.
  summary='^[0-9]+ passed, [0-9]+ failed$'
  cat "$scratch"/s*.out | grep -v -E "$summary" |
    awk '{ n = ($1 == "not") ? $3 : $2; print (n ~ /^[0-9]+$/ ? n : 0) "\t" $0 }' |
    sort -n -s -k1,1 | cut -f2-
  passed=0 failed=0
  for i in "${!selections[@]}"; do
    line=$(grep -E "$summary" "$scratch/s$i.out" | tail -n 1 || true)
    if [ -z "$line" ]; then
      echo "e2e: session $i ended without a result; Wine said:"
      tail -n 20 "$scratch/s$i.wine.log"
      status=1
      continue
    fi
    passed=$(( passed + $(echo "$line" | cut -d' ' -f1) ))
    failed=$(( failed + $(echo "$line" | cut -d' ' -f3) ))
  done
  [ "$failed" -gt 0 ] && status=1
fi
if [ $mode != demo ] && [ -x "$preview_check" ]; then
  echo "e2e: the preview planned each case from its before-exports:"
  "$preview_check" "$records" > "$scratch/preview.out" || status=1
  grep -v '^ok ' "$scratch/preview.out" || true
  if [ $mode = fidelity ]; then
    # Each divergent machine is kept, to be made again from its seed or
    # imported with regedit /s from its machine.reg.
    kept=$build_dir/fidelity/divergent
    rm -rf "$kept"
    while read -r k; do
      for i in "${!selections[@]}"; do
        from=$scratch/s$i/prefix/drive_c/e2e/fm/$k
        [ -f "$from/machine.txt" ] || continue
        seed=$(tr -d '\r' < "$from/machine.txt" | sed -n 's/^seed=//p')
        mkdir -p "$kept/seed-$seed"
        cp "$from/machine.reg" "$from/machine.txt" "$kept/seed-$seed/"
        cp -r "$records/$k" "$kept/seed-$seed/record"
        echo "e2e: machine $k diverges: seed $seed, kept in $kept/seed-$seed (bash scripts/fidelity.sh 1 $seed)"
      done
    done < <(sed -n -E 's/^not ok ([0-9]+) .*/\1/p' "$scratch/preview.out")
  fi
fi
[ -n "$cp932_skip" ] && [ $mode = full ] && say "$cp932_skip"
say "finished in $(( $(now) - start )) s"
[ $mode = demo ] || echo "$passed passed, $failed failed"
exit $status
