#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset) and runs each for the given
# number of seconds (default 30) on a scratch copy of its seed corpus, so the
# committed corpus does not grow. Fails on the first finding and keeps the
# input that found it under <build>/findings/.
#   bash scripts/fuzz.sh        # short run, as the test script does
#   bash scripts/fuzz.sh 600    # longer run
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
build="${FUZZ_BUILD_DIR:-build/fuzz}"
targets=(command_line_tail option_resolution source_folder launcher_run)

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target fuzzers

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/findings"
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

for target in "${targets[@]}"; do
  echo "== fuzz $target for ${seconds}s"
  cp -r "fuzz/corpus/$target" "$work/$target"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -dict=fuzz/launcher.dict -print_final_stats=1 \
      -artifact_prefix="$build/findings/$target-" "$work/$target" \
      >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log"
    echo "fuzz: $target found a fault; input kept in $build/findings/" >&2
    exit 1
  fi
  grep -E '^Done' "$work/$target.log" || true
done
