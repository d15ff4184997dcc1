#!/usr/bin/env bash
# Shows the launcher at work: installs what is missing, builds everything,
# and runs the real launcher.exe under Wine on the sample package a few
# times. For each run it prints first the preview's plan, made from the
# registry exported before the run, then what the real run did (the option,
# the Windows version, the exit code, the client settings before and after,
# the staged files, the command the setup was started with, the adapters'
# writeBlockSize and the marker key), and whether the two agree. Last, the
# page of a generated fleet.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== building"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
cmake --preset host >/dev/null
cmake --build --preset host -j2 --target launcher-preview preview_check fleet_generate

echo "== running the launcher under Wine"
bash scripts/e2e.sh --demo

echo "== a fleet at a glance: 200 generated machines, some broken"
fleet=build/demo-fleet
rm -rf "$fleet"
build/host/fleet_generate "$fleet/machines" 200 >/dev/null
# Exit code 1: some machines failed, as some generated ones must.
status=0
build/host/launcher-preview fleet --tail-for 9x="/S /I1" --tail "-gina /S /I1" \
  --html "$fleet/fleet.html" "$fleet/machines" > "$fleet/fleet.csv" || status=$?
[ "$status" -le 1 ] || exit "$status"
echo "fleet page: $PWD/$fleet/fleet.html (the CSV beside it)"
