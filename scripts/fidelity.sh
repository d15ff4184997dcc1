#!/usr/bin/env bash
# Random machines run both ways: each is chosen as the whole-run fuzz target
# chooses its machines (seeded), written into a Wine prefix with regedit /s,
# run by the real launcher.exe, exported with regedit /e, and planned by the
# preview from those exports; after-states, staged files and setup commands
# must agree. A divergent machine's seed is printed and the machine kept in
# build/win32/fidelity/divergent/. Builds what it needs first.
#   bash scripts/fidelity.sh [N (100)] [SEED (20261209)]
# Machine k of a run has seed SEED + k - 1: "fidelity.sh 1 <seed>" makes one
# machine again.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-100}
seed=${2:-20261209}
cmake --preset host >/dev/null
cmake --build --preset host -j2 --target fidelity_generate preview_check launcher-preview >/dev/null
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2 >/dev/null
exec bash scripts/e2e.sh "--fidelity=$count:$seed"
