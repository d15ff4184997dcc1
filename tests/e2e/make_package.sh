#!/usr/bin/env bash
# Assembles the sample package the end-to-end tests and the demo install:
# the launcher beside the package files, and the folder data3.cab with the
# fake setup program (as setup.iss) and the response files. Every file but
# the two programs is our own sample text, one line naming the file.
#
#   make_package.sh <launcher.exe> <fake_setup.exe> <output folder>
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 <launcher.exe> <fake_setup.exe> <output folder>" >&2
  exit 2
fi
launcher=$1 setup=$2 out=$3

rm -rf "$out"
mkdir -p "$out/data3.cab"
cp "$launcher" "$out/launcher.exe"
cp "$setup" "$out/data3.cab/setup.iss"

for name in layout.bin data1.cab data2.cab ikernel.ex_ data1.hdr setup.ini \
            setup.inx CorvaneAdminConfig.dat; do
  printf '%s: sample package file\r\n' "$name" > "$out/$name"
done
for name in SI1 SI2 SI3 SI1XP SI3XP SI4XP SI5XP SUPDATE SUPDATEDA SUNINSTALL \
            SUNINSTALLDA; do
  printf '%s.iss: sample response file\r\n' "$name" > "$out/data3.cab/$name.iss"
done
