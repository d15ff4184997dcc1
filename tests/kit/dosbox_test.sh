#!/usr/bin/env bash
# The rollout kit's part for Windows 95, 98 and Me under a command.com-like
# shell: DOSBox runs LOGON.BAT headless, as written by rollout-kit, once per
# step KIT.EXE can name. DOSBox runs DOS programs only, and lacks START
# (and FIND and pipes, which the kit does not use), so a DOS stand-in
# (dos_stub.asm) takes the place of KIT.EXE and of START: it records each
# call and prints the step the case gives. What each logon must do: the
# calls in their order, ver.txt where a collection succeeded, no variable of
# the kit left behind, the step file deleted, never the part for NT.
# Not covered here: KIT.EXE itself, a real START /W, long file names and
# UNC paths (DOSBox has neither); those run under Wine.
#   dosbox_test.sh <launcher-preview>
# Exit 77 (skipped) without dosbox or nasm.
set -uo pipefail
preview=${1:?usage: dosbox_test.sh <launcher-preview>}
for tool in dosbox nasm; do
  command -v "$tool" > /dev/null || { echo "SKIP: no $tool on PATH (apt-get install $tool)"; exit 77; }
done
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "not ok - $*"; failures=$((failures + 1)); }

nasm -f bin -o "$work/stub.com" "$here/dos_stub.asm" || { echo "not ok - nasm"; exit 1; }

# <name> <step> <fail: 0|1> <calls, "|" between them> <ver.txt folder or "">
run_case() {
  local name=$1 step=$2 failing=$3 calls=$4 ver=$5
  local c=$work/$name/c
  mkdir -p "$c/STUB" "$c/WINDOWS" "$c/DROP/before/PC1" "$c/DROP/after/PC1" "$c/DROP/log"
  "$preview" rollout-kit --package 'C:\PKG' --drop 'C:\DROP' --helper "$work/stub.com" \
    "$c/KIT" 2> /dev/null || { fail "$name: rollout-kit"; return; }
  cp "$work/stub.com" "$c/STUB/START.COM"
  printf 'set KNAME=PC1\r\nset KTAIL=-gina /S /I1\r\nset KSTEP=%s\r\n' "$step" > "$c/STUB/STEP.TXT"
  [ "$failing" = 1 ] && : > "$c/STUB/FAIL"
  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy HOME=$work timeout 60 dosbox -noconsole \
    -c "mount c $c" -c "c:" -c 'set windir=C:\WINDOWS' -c 'set PATH=C:\STUB;Z:\' \
    -c 'call C:\KIT\LOGON.BAT > C:\OUT.TXT' -c 'set > C:\ENV.TXT' -c exit \
    > "$work/$name.log" 2>&1 || { fail "$name: dosbox did not end"; return; }
  local got
  got=$(tr -d '\r' < "$c/STUB/CALLS.TXT" 2> /dev/null | sed 's/^ //' | paste -sd'|' -)
  [ "$got" = "$calls" ] || fail "$name: calls [$got], expected [$calls]"
  for folder in before after; do
    local file=$c/DROP/$folder/PC1/VER.TXT
    if [ "$folder" = "$ver" ]; then
      [ -s "$file" ] || fail "$name: no ver.txt in $folder"
    else
      [ ! -e "$file" ] || fail "$name: a ver.txt in $folder"
    fi
  done
  if grep -qE '^K(NAME|TAIL|STEP)=' < <(tr -d '\r' < "$c/ENV.TXT"); then
    fail "$name: variables of the kit left behind"
  fi
  [ ! -e "$c/WINDOWS/KITSTEP.BAT" ] || fail "$name: KITSTEP.BAT left behind"
  [ "$failures" = 0 ] && echo "ok - $name"
}

run_case collect collect 0 "step|collect before|log collected" before
run_case run run 0 \
  "step|mark started|log started|/w C:\\PKG\\launcher.exe -gina /S /I1|collect after|mark done|log done" after
run_case interrupted after 0 "step|collect after|mark done|log recovered" after
run_case done done 0 "step|log idle" ""
run_case skip skip 0 "step|log skipped" ""
run_case norights norights 0 "step|collect before|log norights" before
run_case collection-fails collect 1 "step|collect before|log failed" ""
run_case start-mark-fails run 1 "step|mark started|log failed" ""
[ "$failures" = 0 ] || exit 1
echo "ok - the 9x part of the kit ran every step under DOSBox"
