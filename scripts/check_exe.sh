#!/bin/sh
# Checks a built launcher.exe: a 32-bit GUI program for Windows 4.0 and
# later, at most 12 KiB, importing only the allowed KERNEL32 and ADVAPI32
# functions, with the one icon group 101; no section both writable and
# executable, BaseOfCode the code section's address, and no instruction a
# 386 lacks. Prints one summary line and exits 0, or names every problem
# and exits 1.
#
# With --kit it checks KIT.EXE, the rollout kit's helper, the same way
# against its own profile: a console program, its own list of allowed
# imports, and no resources at all.
#
# Usage: scripts/check_exe.sh [--kit] path/to/launcher.exe [launcher.map]
# The linker's map (by default launcher.map, or KIT.map with --kit, beside
# the program, if there is one) tells where the code ends; without it the
# whole code section, constants and import tables included, is disassembled.
# OBJDUMP may name the PE objdump (default i686-w64-mingw32-objdump).
set -u
kit=

here=$(cd "$(dirname "$0")/.." && pwd)
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
max_size=12288

kernel32_allowed="GetCommandLineA GetSystemDirectoryA CreateDirectoryA
GetFileAttributesA SetFileAttributesA DeleteFileA CopyFileA GetVersion WinExec
Sleep lstrcatA lstrcpynA ExitProcess IsDBCSLeadByte GetCPInfo CreateProcessA
CloseHandle"
advapi32_allowed="RegOpenKeyExA RegCreateKeyA RegCreateKeyExA RegQueryValueExA
RegSetValueExA RegDeleteValueA RegEnumKeyA RegCloseKey"
subsystem=00000002
subsystem_name=GUI
map_name=launcher.map

if [ "${1:-}" = --kit ]; then
  shift
  # What KIT.EXE calls, all in Windows 95, and what comes with the
  # launcher's platform file, which it links whole (CopyFileA,
  # CreateProcessA, SetFileAttributesA, RegCreateKeyA, RegDeleteValueA: the
  # import tables keep every function an object names, called or not).
  kernel32_allowed="GetCommandLineA GetSystemDirectoryA CreateDirectoryA
GetFileAttributesA DeleteFileA GetVersion GetVersionExA Sleep ExitProcess
IsDBCSLeadByte CloseHandle GetComputerNameA GetLocalTime CreateFileA ReadFile
WriteFile SetFilePointer GetLastError GetStdHandle FindFirstFileA FindNextFileA
FindClose SetFileAttributesA CopyFileA CreateProcessA GetModuleFileNameA
GetEnvironmentVariableA"
  advapi32_allowed="RegOpenKeyExA RegCreateKeyExA RegQueryValueExA
RegSetValueExA RegEnumKeyA RegEnumValueA RegCloseKey RegCreateKeyA
RegDeleteValueA"
  subsystem=00000003
  subsystem_name=console
  # Its commands' words and the export's forms take more room than the
  # launcher's; still a few blocks of a floppy's cluster.
  max_size=16384
  map_name=KIT.map
  kit=yes
fi

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 [--kit] path/to/launcher.exe [launcher.map]" >&2
  exit 2
fi
exe=$1
name=$(basename "$exe")
if [ ! -f "$exe" ]; then
  echo "check_exe: $exe: no such file" >&2
  exit 1
fi
map=${2:-$(dirname "$exe")/$map_name}
[ $# -eq 2 ] || [ -f "$map" ] || map=

failures=0
fail() {
  echo "check_exe: $name: $*" >&2
  failures=$((failures + 1))
}

headers=$("$objdump" -p "$exe" 2>&1) || {
  echo "check_exe: $name: $objdump cannot read it: $headers" >&2
  exit 1
}

# A header field's value: the second word of its line.
field() {
  printf '%s\n' "$headers" | awk -v key="$1" '$1 == key { print $2; exit }'
}
expect_field() {
  value=$(field "$1")
  [ "$value" = "$2" ] || fail "$1 is '${value:-missing}', expected $2"
}

printf '%s\n' "$headers" | grep -q 'file format pei-i386' ||
  fail "not an i386 PE image"
expect_field Magic 010b
expect_field Subsystem $subsystem
expect_field MajorSubsystemVersion 4
expect_field MinorSubsystemVersion 0
expect_field MajorOSystemVersion 4
expect_field MinorOSystemVersion 0

size=$(wc -c < "$exe" | tr -d ' ')
[ "$size" -le "$max_size" ] || fail "$size bytes, more than $max_size"

# "DLL function" for every import, from objdump's import tables.
imports=$(printf '%s\n' "$headers" | awk '
  /^The Import Tables/ { in_imports = 1; next }
  in_imports && /^[A-Z]/ && !/^The Import Tables/ { in_imports = 0 }
  !in_imports { next }
  /DLL Name:/ { dll = toupper($3); next }
  /Hint\/Ord/ { next }
  # Member lines: tab, address, tab, hint or ordinal, name ("<none>" when
  # imported by ordinal).
  dll != "" && /^\t[0-9a-f]+\t/ {
    print dll, ($3 == "<none>" || $3 == "" ? "ordinal-" $2 : $3)
  }')
[ -n "$imports" ] || fail "no imports found"

kernel32_count=0
advapi32_count=0
while read -r dll function; do
  [ -n "$dll" ] || continue
  case $dll in
    KERNEL32.DLL) allowed=$kernel32_allowed ;;
    ADVAPI32.DLL) allowed=$advapi32_allowed ;;
    *) fail "imports $function from $dll"; continue ;;
  esac
  if printf '%s\n' $allowed | grep -qx -- "$function"; then
    case $dll in
      KERNEL32.DLL) kernel32_count=$((kernel32_count + 1)) ;;
      *) advapi32_count=$((advapi32_count + 1)) ;;
    esac
  else
    fail "imports $function from $dll, which is not on the allowed list"
  fi
done <<EOF_IMPORTS
$imports
EOF_IMPORTS

if ! icon=$(python3 "$here/tools/check_pe.py" ${kit:+--no-resources} "$exe" 2>&1); then
  fail "$icon"
fi

# Instructions a 386 does not have (486: bswap, cmpxchg, xadd, invd, wbinvd,
# invlpg; Pentium: cmpxchg8b, cpuid, rdtsc, rdmsr, wrmsr, rsm; Pentium Pro
# and later: cmovcc, fcmovcc, fcomi, ud2, sysenter, the hint nops 0f 18-1f
# such as the long nop and endbr32, MMX, SSE and the like), as objdump
# spells them: the mnemonic may follow prefixes such as lock or data16.
newer_than_386='([a-z0-9]+ )*(bswap|cmpxchg|cmpxchg8b|xadd|invd|wbinvd|invlpg|cpuid|rdtsc|rdtscp|rdmsr|wrmsr|rdpmc|rsm|cmov[a-z]+|fcmov[a-z]+|fu?comip?|ud[012][ab]?|sysenter|sysexit|syscall|sysret|nop[lw]|endbr32|emms|femms|fxsave|fxrstor|ldmxcsr|stmxcsr|[lsm]fence|prefetch[a-z0-9]*|clflush|movnti|fisttp[a-z]*|popcnt|lzcnt|tzcnt|movbe|crc32)( |$)'
if ! layout=$(python3 "$here/tools/check_pe.py" --layout "$exe" ${map:+"$map"} 2>&1); then
  while IFS= read -r problem; do
    fail "$problem"
  done <<EOF_PROBLEMS
$layout
EOF_PROBLEMS
else
  code_bytes=0
  while read -r section start stop; do
    [ -n "$section" ] || continue
    code_bytes=$((code_bytes + stop - start))
    # Only the instruction text: "address: bytes<TAB>mnemonic operands".
    listing=$("$objdump" -D -j "$section" --start-address="$start" \
              --stop-address="$stop" "$exe" 2>&1) || {
      fail "$objdump cannot disassemble $section: $listing"
      continue
    }
    newer=$(printf '%s\n' "$listing" |
      awk -F '\t' '/^ *[0-9a-f]+:\t/ && NF >= 3 { sub(/:$/, "", $1); sub(/^ +/, "", $1); gsub(/ +/, " ", $3); print $1 ":", $3 }' |
      grep -E -- "^[^:]*: $newer_than_386|^[^:]*: .*%[xyz]?mm[0-9]")
    if [ -n "$newer" ]; then
      fail "$(printf '%s\n' "$newer" | wc -l | tr -d ' ') instruction(s) a 386 lacks in $section, first:" \
        "$(printf '%s\n' "$newer" | head -3 | awk 'NR > 1 { printf "; " } { printf "%s", $0 }')"
    fi
  done <<EOF_LAYOUT
$layout
EOF_LAYOUT
  [ "$code_bytes" -gt 0 ] || fail "no code found to disassemble"
fi

if [ "$failures" -ne 0 ]; then
  echo "check_exe: $name: $failures problem(s)" >&2
  exit 1
fi
echo "$name: $size bytes, PE32 $subsystem_name 4.0, imports KERNEL32.dll ($kernel32_count)" \
  "ADVAPI32.dll ($advapi32_count), $icon, no writable code," \
  "$code_bytes bytes of 386 code${map:+ (per the map)}"
