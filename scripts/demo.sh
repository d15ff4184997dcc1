#!/usr/bin/env bash
# Shows the launcher at work: installs what is missing, builds everything,
# and runs the real launcher.exe under Wine on the sample package a few
# times. For each run it prints first the preview's plan, made from the
# registry exported before the run, then what the real run did (the option,
# the Windows version, the exit code, the client settings before and after,
# the staged files, the command the setup was started with, the adapters'
# writeBlockSize and the marker key), and whether the two agree.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== building"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
cmake --preset host >/dev/null
cmake --build --preset host -j2 --target launcher-preview preview_check

echo "== running the launcher under Wine"
exec bash scripts/e2e.sh --demo
