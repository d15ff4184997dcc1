#!/usr/bin/env bash
# Builds the release archive twice from the same sources and requires the
# same bytes: two copies of the working tree at paths of different length,
# each with a fresh build folder, the second built under another umask and
# time zone. Compares launcher.exe, launcher-preview.exe, KIT.EXE and the archive,
# and prints what differs; then checks what the archive holds
# (tests/release/check_archive.py).
#
# Settings (environment):
#   SOURCE_DATE_EPOCH  the archive's file times (default: the last commit's)
#   REPRO_SCRATCH      where the two copies go (default: a new folder in /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || true)
  if [ -z "$SOURCE_DATE_EPOCH" ]; then
    # Any one time serves to compare two builds.
    echo "reproducible: no git history; the archives' file time is 2000-01-01"
    SOURCE_DATE_EPOCH=946684800
  fi
fi
export SOURCE_DATE_EPOCH

scratch=${REPRO_SCRATCH:-$(mktemp -d /tmp/silent-launcher-repro.XXXXXX)}
[ -n "${REPRO_SCRATCH:-}" ] || trap 'rm -rf "$scratch"' EXIT
first=$scratch/a/src
second=$scratch/second-copy/in/a/longer/path/src
rm -rf "$first" "$second"

# The working tree as it is, uncommitted changes included; not build/.
copy() {
  mkdir -p "$1"
  if git -C "$repo" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$repo" ls-files -z --cached --others --exclude-standard |
      (cd "$repo" && xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh) |
      tar -C "$repo" --null -T - -cf - | tar -C "$1" -xf -
  else
    tar -C "$repo" --exclude=./build --exclude=./.git -cf - . | tar -C "$1" -xf -
  fi
}

build() {  # <source copy>
  (cd "$1" &&
   cmake --preset win32 >/dev/null &&
   cmake --build --preset win32 --target archive -j2 >build.log 2>&1) ||
    { echo "reproducible: the build in $1 failed:" >&2; tail -30 "$1/build.log" >&2; exit 1; }
}

version=$(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
archive=silent-launcher-$version.zip

start=$(date +%s)
copy "$first"
copy "$second"
echo "reproducible: building in $first"
(umask 022; TZ=UTC build "$first")
echo "reproducible: building in $second (umask 077, TZ America/Los_Angeles)"
(umask 077; TZ=America/Los_Angeles build "$second")

failures=0
for file in launcher.exe launcher-preview.exe KIT.EXE "$archive"; do
  a=$first/build/win32/$file
  b=$second/build/win32/$file
  if cmp -s "$a" "$b"; then
    echo "reproducible: $file: the same $(wc -c <"$a" | tr -d ' ') bytes, sha256 $(sha256sum "$a" | cut -c1-16)..."
  else
    echo "reproducible: $file differs between the two builds:" >&2
    cmp -l "$a" "$b" | head -10 >&2 || true
    failures=$((failures + 1))
  fi
done
echo "reproducible: two builds in $(( $(date +%s) - start )) s"
python3 tests/release/check_archive.py "$first/build/win32/$archive" \
  "$first/build/win32" "$first/README.md" "$version" || failures=$((failures + 1))
[ "$failures" -eq 0 ]
