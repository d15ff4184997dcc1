#!/usr/bin/env bash
# Benchmark of the preview (not part of the tests): the .reg reader's speed
# over a large generated version-5 export, the time of one plan for a
# typical machine, and a fleet of generated machines on every core. Builds
# the optimized host preset first.
#   bash bench/preview.sh [MB of the export (100)] [plan runs (2000)] [machines (10000)]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target reg_read_bench plan_bench fleet_bench >/dev/null
echo "== .reg reading speed (one core)"
build/release/reg_read_bench "${1:-100}"
echo "== one plan"
build/release/plan_bench "${2:-2000}"
echo "== fleet"
build/release/fleet_bench "${3:-10000}"
