#!/usr/bin/env bash
# Runs every fuzz target (or those named) for SECONDS each, one after the
# other, keeping what they find in build/fuzz/corpus so that the next run
# goes on from there; prints executions, time, coverage and crashes per target.
# Usage: scripts/fuzz-long.sh SECONDS [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
[[ $# -ge 1 && "$1" =~ ^[0-9]+$ ]] || { echo "Usage: $0 SECONDS [TARGET...]" >&2; exit 2; }
seconds=$1
shift
exec scripts/fuzz-run.sh --corpus build/fuzz/corpus -max_total_time="$seconds" -- "$@"
