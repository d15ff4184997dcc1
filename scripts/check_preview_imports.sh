#!/bin/sh
# Checks that launcher-preview.exe imports only what Windows XP SP2 (32-bit)
# exports: every DLL and function must be allowed by tools/xp_sp2_exports.txt.
# Prints one summary line and exits 0, or names each DLL and function that is
# not allowed and exits 1.
#
# Usage: scripts/check_preview_imports.sh path/to/launcher-preview.exe [list]
# OBJDUMP may name the PE objdump (default i686-w64-mingw32-objdump).
set -u

here=$(cd "$(dirname "$0")/.." && pwd)
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 path/to/launcher-preview.exe [allowed-exports.txt]" >&2
  exit 2
fi
exe=$1
list=${2:-$here/tools/xp_sp2_exports.txt}
name=$(basename "$exe")
for file in "$exe" "$list"; do
  if [ ! -f "$file" ]; then
    echo "check_preview_imports: $file: no such file" >&2
    exit 1
  fi
done

headers=$("$objdump" -p "$exe" 2>&1) || {
  echo "check_preview_imports: $name: $objdump cannot read it: $headers" >&2
  exit 1
}

# "DLL function" for every import, as in scripts/check_exe.sh.
imports=$(printf '%s\n' "$headers" | awk '
  /^The Import Tables/ { in_imports = 1; next }
  in_imports && /^[A-Z]/ && !/^The Import Tables/ { in_imports = 0 }
  !in_imports { next }
  /DLL Name:/ { dll = $3; next }
  /Hint\/Ord/ { next }
  dll != "" && /^\t[0-9a-f]+\t/ {
    print dll, ($3 == "<none>" || $3 == "" ? "ordinal-" $2 : $3)
  }')
if [ -z "$imports" ]; then
  echo "check_preview_imports: $name: no imports found" >&2
  exit 1
fi

# DLL names compare without regard to case, as Windows finds them; function
# names exactly, as GetProcAddress does.
printf '%s\n' "$imports" | awk -v name="$name" -v list="$list" '
  function fail(message) {
    print "check_preview_imports: " name ": " message > "/dev/stderr"
    failures++
  }
  BEGIN {
    while ((getline line < list) > 0) {
      sub(/#.*/, "", line)
      gsub(/^[ \t]+|[ \t]+$/, "", line)
      if (line == "") continue
      if (line ~ /^\[.*\]$/) {
        dll = toupper(substr(line, 2, length(line) - 2))
        known[dll] = 1
        continue
      }
      if (dll == "") { fail(list ": \"" line "\" comes before any [DLL]"); continue }
      if (substr(line, 1, 1) == "!") missing[dll, substr(line, 2)] = 1
      else allowed[dll, line] = 1
    }
    close(list)
    for (key in missing) {
      if (key in allowed) {
        split(key, part, SUBSEP)
        fail(list ": " part[2] " from " part[1] " is both allowed and missing from XP")
      }
    }
  }
  {
    dll = toupper($1)
    if (!(dll in known)) {
      fail("imports " $2 " from " $1 ", a DLL not on the Windows XP SP2 list")
    } else if ((dll, $2) in missing) {
      fail("imports " $2 " from " $1 ", which Windows XP SP2 does not have")
    } else if (!((dll, $2) in allowed)) {
      fail("imports " $2 " from " $1 ", which is not on the Windows XP SP2 list")
    } else {
      if (!(dll in count)) order[++dlls] = $1
      count[dll]++
      total++
    }
  }
  END {
    if (failures) {
      print "check_preview_imports: " name ": " failures " import problem(s); allowed: " list > "/dev/stderr"
      exit 1
    }
    summary = ""
    for (i = 1; i <= dlls; i++)
      summary = summary (i > 1 ? ", " : "") order[i] " " count[toupper(order[i])]
    print name ": " total " imports, all exported by Windows XP SP2 (" summary ")"
  }'
