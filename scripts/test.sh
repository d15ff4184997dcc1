#!/usr/bin/env bash
# Runs every test: host unit tests, the checks of the Windows build, the
# end-to-end tests of the real launcher.exe under Wine, and two builds of the
# release archive that must give the same bytes. Installs what is missing
# first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== host unit tests"
cmake --preset host >/dev/null
cmake --build --preset host -j2
ctest --preset host

echo "== host unit tests under AddressSanitizer and UBSan"
cmake --preset asan >/dev/null
cmake --build --preset asan -j2
ctest --preset asan

echo "== fuzzing, 30 s per target"
bash scripts/fuzz.sh 30

echo "== Windows build"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
bash scripts/check_exe.sh build/win32/launcher.exe

echo "== the preview's Windows build under Wine: a fleet in nested sites, names beyond the ANSI code page"
bash tests/preview/windows_build_fleet_test.sh build/win32/launcher-preview.exe \
  build/host/launcher-preview build/host/fleet_generate

echo "== end-to-end under Wine"
bash scripts/e2e.sh

echo "== KIT.EXE under Wine, and the rollout kit as login scripts run it (XP, 2000, 98, 2003)"
bash tests/kit/kit_wine_test.sh
bash tests/kit/kit_rollout_test.sh

echo "== random machines, both ways (fixed seed)"
bash scripts/fidelity.sh 100 20261209

echo "== release archive: built twice, the same bytes"
bash scripts/reproducible.sh
