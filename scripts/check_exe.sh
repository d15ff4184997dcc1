#!/bin/sh
# Checks a built launcher.exe: a 32-bit GUI program for Windows 4.0 and
# later, at most 12 KiB, importing only the allowed KERNEL32 and ADVAPI32
# functions, with the one icon group 101. Prints one summary line and exits
# 0, or names every problem and exits 1.
#
# Usage: scripts/check_exe.sh path/to/launcher.exe
# OBJDUMP may name the PE objdump (default i686-w64-mingw32-objdump).
set -u

here=$(cd "$(dirname "$0")/.." && pwd)
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
max_size=12288

kernel32_allowed="GetCommandLineA GetSystemDirectoryA CreateDirectoryA
GetFileAttributesA SetFileAttributesA DeleteFileA CopyFileA GetVersion WinExec
Sleep lstrcatA lstrcpynA ExitProcess IsDBCSLeadByte GetCPInfo CreateProcessA
CloseHandle"
advapi32_allowed="RegOpenKeyExA RegCreateKeyA RegCreateKeyExA RegQueryValueExA
RegSetValueExA RegDeleteValueA RegEnumKeyA RegCloseKey"

if [ $# -ne 1 ]; then
  echo "usage: $0 path/to/launcher.exe" >&2
  exit 2
fi
exe=$1
name=$(basename "$exe")
if [ ! -f "$exe" ]; then
  echo "check_exe: $exe: no such file" >&2
  exit 1
fi

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
expect_field Subsystem 00000002
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

if ! icon=$(python3 "$here/tools/check_pe.py" "$exe" 2>&1); then
  fail "$icon"
fi

if [ "$failures" -ne 0 ]; then
  echo "check_exe: $name: $failures problem(s)" >&2
  exit 1
fi
echo "$name: $size bytes, PE32 GUI 4.0, imports KERNEL32.dll ($kernel32_count)" \
  "ADVAPI32.dll ($advapi32_count), $icon"
