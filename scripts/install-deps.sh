#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, and only
# what is missing. Run as root (CI does); safe to run again.
set -euo pipefail

need_pkgs=(cmake git make g++ clang libclang-rt-14-dev libgtest-dev python3
           libcli11-dev nlohmann-json3-dev
           g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686
           wine wine32:i386 qemu-user-static
           chromium fonts-dejavu-core locales
           dosbox libreoffice-calc-nogui nasm)

# Wine runs 32-bit Linux binaries. Where the kernel cannot run them itself,
# qemu's user-mode emulator runs them through binfmt_misc.
runs_ia32() {
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Those missing, through a mirror that may be mid-sync.
bash "$(dirname "$0")/install-packages.sh" "${need_pkgs[@]}"

if ! runs_ia32; then
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:OCF' \
      > "$binfmt/register"
  fi
  runs_ia32 || { echo "install-deps: cannot run 32-bit binaries" >&2; exit 1; }
  echo "install-deps: 32-bit binaries run through qemu-i386 (binfmt_misc)"
fi

# The end-to-end code page 932 session runs Wine under this locale; one that
# is not generated leaves Wine at code page 1252.
if [ "$(LC_ALL=ja_JP.UTF-8 locale charmap 2>/dev/null)" != UTF-8 ]; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
  echo "install-deps: generated the locale ja_JP.UTF-8"
fi
