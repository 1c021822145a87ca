#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz") and runs each one, one after the
# other, with the libFuzzer options given (for example -runs=5000 or
# -max_total_time=600); then prints per target its executions, time,
# coverage (cov: code edges, ft: features) and crashes.
#
# Usage: scripts/fuzz-run.sh [--corpus DIR] LIBFUZZER-OPTION... [-- TARGET...]
#   --corpus DIR  keep the inputs found in DIR/<target> (default: a
#                 temporary folder, removed afterwards)
#   TARGET        subtitles, rules, settings, markup, control_tags, mpv, mpris
#                 (default: all)
# A crashing input is kept as build/fuzz/crashes/<target>/crash-<hash>;
# the exit status is 1 when any target crashed.
set -euo pipefail
cd "$(dirname "$0")/.."

corpus=""
if [[ "${1:-}" == "--corpus" ]]; then
    corpus=$(realpath -m "$2")
    shift 2
fi
options=()
while [[ $# -gt 0 && "$1" != "--" ]]; do options+=("$1"); shift; done
[[ "${1:-}" == "--" ]] && shift
targets=("$@")
[[ ${#targets[@]} -eq 0 ]] && targets=(subtitles rules settings markup control_tags mpv mpris)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" >/dev/null

bin=build/fuzz/tests/fuzz
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
[[ -z "$corpus" ]] && corpus=$scratch/corpus

failed=0
summary=()
for t in "${targets[@]}"; do
    mkdir -p "$corpus/$t" "build/fuzz/crashes/$t"
    log=$scratch/$t.log
    started=$(date +%s%N)
    status=0
    # New inputs go to the first folder; the seeds are only read.
    "$bin/fuzz_$t" "${options[@]}" -max_len=4096 -timeout=30 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/crashes/$t/" "$corpus/$t" "tests/fuzz/$t" >"$log" 2>&1 || status=$?
    tenths=$((($(date +%s%N) - started) / 100000000))
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || true)
    [[ -z "$runs" ]] && runs=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')
    coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
    crash=$(grep -oE 'Test unit written to [^ ]+' "$log" | sed 's/Test unit written to //' || true)
    if [[ $status -ne 0 ]]; then
        failed=1
        echo "---- fuzz_$t failed (status $status):"
        grep -E 'ERROR|check failed|SUMMARY|#[0-9]+ in parlino' "$log" | head -20
        [[ -n "$crash" ]] && echo "input kept: $crash"
    fi
    summary+=("$(printf '%-13s %12s runs %7d.%d s  %-22s crashes: %s' "$t" "${runs:-0}" $((tenths / 10)) $((tenths % 10)) \
        "${coverage:-cov: ?}" "$([[ $status -ne 0 ]] && echo "1 ($crash)" || echo 0)")")
done
printf '%s\n' "${summary[@]}"
exit $failed
