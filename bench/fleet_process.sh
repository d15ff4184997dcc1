#!/usr/bin/env bash
# Benchmark of "launcher-preview fleet" as a process (not part of the
# tests): generated machine folders in, the CSV and the --html page out,
# from the optimized build; then how much longer headless Chromium takes
# over that page than over an empty one. Figures only, no limits.
#   bash bench/fleet_process.sh [machines (10000)] [runs (5)]
# Settings (environment): BENCH_SCRATCH (/tmp/launcher-preview-fleet-process).
set -euo pipefail
cd "$(dirname "$0")/.."
machines=${1:-10000}
runs=${2:-5}
scratch=${BENCH_SCRATCH:-/tmp/launcher-preview-fleet-process}
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target launcher-preview fleet_generate >/dev/null
preview=$PWD/build/release/launcher-preview

rm -rf "$scratch"
mkdir -p "$scratch"
build/release/fleet_generate "$scratch/machines" "$machines"
tails=(--tail-for 9x="/S /I1" --tail "-gina /S /I1")

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Exit code 1 is expected: the generated fleet has broken machines.
fleet() {
  "$preview" fleet "${tails[@]}" --html "$scratch/fleet.html" "$scratch/machines" \
    > "$scratch/fleet.csv" 2> /dev/null || [ $? = 1 ]
}

echo "== launcher-preview fleet, $machines machines, CSV and page ($runs runs, median; $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg))"
fleet  # the page cache warmed, not timed
times=()
for ((i = 0; i < runs; i++)); do
  start=$(now_ms)
  fleet
  times+=($(($(now_ms) - start)))
done
t=$(printf '%s\n' "${times[@]}" | median)
awk -v t="$t" -v n="$machines" -v runs="${times[*]}" \
  -v csv="$(stat -c %s "$scratch/fleet.csv")" -v page="$(stat -c %s "$scratch/fleet.html")" \
  -v input="$(find "$scratch/machines" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')" 'BEGIN {
  printf "process time            %d ms (runs: %s ms)\n", t, runs
  printf "machines/s              %.0f\n", n / (t / 1000)
  printf "input                   %.1f MB; CSV %.1f MB; page %.2f MB (%.0f bytes a machine)\n",
         input / 1e6, csv / 1e6, page / 1e6, page / n
}'

browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "== no chromium: no load times"
  exit 0
fi
printf '<!DOCTYPE html>\n<html lang=en><head><meta charset=utf-8><title>empty</title></head><body></body></html>\n' \
  > "$scratch/empty.html"
# mode: --dump-dom (loaded, then the DOM printed) or --screenshot (loaded,
# laid out and painted).
load_ms() {
  local mode=$1 page=$2 start
  start=$(now_ms)
  "$browser" --headless --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$scratch/profile" --window-size=1280,2000 \
    "$mode" "file://$scratch/$page" > /dev/null 2>&1
  echo $(($(now_ms) - start))
}
echo "== headless Chromium, the page of $machines machines against an empty page ($runs runs each, alternating, median)"
load_ms --dump-dom empty.html > /dev/null  # the profile made, not timed
for mode in --dump-dom --screenshot=$scratch/shot.png; do
  empty=() full=()
  for ((i = 0; i < runs; i++)); do
    empty+=("$(load_ms "$mode" empty.html)")
    full+=("$(load_ms "$mode" fleet.html)")
  done
  e=$(printf '%s\n' "${empty[@]}" | median)
  f=$(printf '%s\n' "${full[@]}" | median)
  printf '%-13s empty %5d ms  fleet page %5d ms  difference %5d ms   (empty: %s; page: %s)\n' \
    "${mode%%=*}" "$e" "$f" "$((f - e))" "${empty[*]}" "${full[*]}"
done
rm -rf "$scratch"
