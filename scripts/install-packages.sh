#!/usr/bin/env bash
# Installs the Debian packages named that are not installed yet (without
# recommends), through a package mirror that may be in the middle of a sync.
# Run as root; install-deps.sh calls it with the project's list.
#
#   install-packages.sh PACKAGE...
#
# A mirror mid-sync makes "apt-get update" fail on one index ("File has
# unexpected size ... Mirror sync in progress?"), and may serve the two
# architectures of a Multi-Arch package in different versions, which apt
# reports as unmet dependencies. So the update is tried again after a pause,
# and a failed one is gone past when the indexes there are know a version of
# every package missing; an install that meets unmet dependencies is tried
# again with the release's own suite (its codename in os-release) as target.
# Whatever cannot be installed is named with apt's own message, and the
# script fails.
#
# Settings (environment), for the tests:
#   INSTALL_UPDATE_TRIES  times apt-get update is tried          (3)
#   INSTALL_PAUSE         seconds between two tries               (20)
#   INSTALL_OS_RELEASE    the file naming the release's codename  (/etc/os-release)
set -euo pipefail

tries=${INSTALL_UPDATE_TRIES:-3}
pause=${INSTALL_PAUSE:-20}
os_release=${INSTALL_OS_RELEASE:-/etc/os-release}

say() { echo "install-deps: $*" >&2; }
installed() {
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true) == *"ok installed" ]]
}
# A version apt would install: the indexes it has know the package.
has_candidate() {
  local candidate
  candidate=$(apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
  [ -n "$candidate" ] && [ "$candidate" != "(none)" ]
}
indented() { sed 's/^/    /' "$1" >&2; }

missing=()
for p in "$@"; do installed "$p" || missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] && exit 0
say "installing ${missing[*]}"

for p in "${missing[@]}"; do
  if [[ $p == *:i386 ]] && ! grep -qx i386 < <(dpkg --print-foreign-architectures); then
    dpkg --add-architecture i386
    break
  fi
done
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT

updated=false
for ((try = 1; try <= tries; try++)); do
  if apt-get update -qq > "$log" 2>&1; then
    updated=true
    break
  fi
  say "apt-get update failed (try $try of $tries):"
  indented "$log"
  if [ "$try" -lt "$tries" ]; then sleep "$pause"; fi
done
if ! $updated; then
  unknown=()
  for p in "${missing[@]}"; do has_candidate "$p" || unknown+=("$p"); done
  if [ ${#unknown[@]} -gt 0 ]; then
    say "cannot install ${unknown[*]}: no package index knows them, and apt-get update failed as above"
    exit 1
  fi
  say "going on with the package indexes there are: they know every package missing"
fi

install() {  # [apt-get options...]
  apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" > "$log" 2>&1
}
if install; then exit 0; fi
if grep -q "unmet dependencies" "$log"; then
  suite=$(. "$os_release" && echo "${VERSION_CODENAME:-}")
  if [ -n "$suite" ]; then
    say "apt-get install met unmet dependencies (versions of a mirror mid-sync?); again with -t $suite"
    if install -t "$suite"; then exit 0; fi
  fi
fi
say "could not install ${missing[*]}; apt-get said:"
indented "$log"
exit 1
