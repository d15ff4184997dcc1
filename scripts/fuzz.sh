#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset) and runs each, one at a time,
# for the given number of seconds (default 30) on a scratch copy of its seed
# corpus, so the committed corpus does not grow. Prints each target's
# executions and final coverage. Fails on the first finding and keeps the
# input that found it under <build>/findings/.
#   bash scripts/fuzz.sh        # short run, as the test script does
#   bash scripts/fuzz.sh 600    # longer run
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
build="${FUZZ_BUILD_DIR:-build/fuzz}"
targets=(command_line_tail option_resolution source_folder launcher_run
         reg_reader ver_txt preview_plan)

# The dictionary that fits what a target reads; ver.txt's words are in its
# seeds.
dict_of() {
  case "$1" in
    reg_reader | preview_plan) echo "-dict=fuzz/reg.dict" ;;
    ver_txt) ;;
    *) echo "-dict=fuzz/launcher.dict" ;;
  esac
}

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j2 --target fuzzers

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/findings"
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

summary=()
for target in "${targets[@]}"; do
  echo "== fuzz $target for ${seconds}s"
  cp -r "fuzz/corpus/$target" "$work/$target"
  # A hang (10 s for one input) or more than 2 GB is a finding too.
  # shellcheck disable=SC2046
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 $(dict_of "$target") -print_final_stats=1 \
      -artifact_prefix="$build/findings/$target-" "$work/$target" \
      >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log"
    saved="$(grep -oE '(Test unit|artifact) written to [^ ]+' "$work/$target.log" |
             sed -E 's/.* written to //' | tail -n 1)"
    echo "fuzz: $target found a fault; input saved as ${saved:-(none written; see the log above)}" >&2
    exit 1
  fi
  runs="$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$work/$target.log")"
  last="$(grep -E '^#[0-9]+.*cov: ' "$work/$target.log" | tail -n 1)"
  cov="$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$last")"
  ft="$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$last")"
  line="$target: ${runs:-?} executions, cov ${cov:-?}, ft ${ft:-?}"
  echo "$line"
  summary+=("$line")
done
echo "== fuzz summary (${seconds}s each)"
printf '%s\n' "${summary[@]}"
