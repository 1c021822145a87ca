#!/usr/bin/env bash
# parlino-render --voices on a prefix without voices (Wine's SAPI 5 has no
# engine, nothing registers SAPI 4): a clear message and exit status 1, never
# a crash or an empty table.
# Usage: render-voices-bare.sh WINE PARLINO-RENDER.EXE
set -uo pipefail
out=$("$1" "$2" --voices 2>/tmp/parlino-voices-err.$$)
status=$?
err=$(tr -d '\r' </tmp/parlino-voices-err.$$)
rm -f /tmp/parlino-voices-err.$$
echo "exit $status; stdout: '$out'; stderr: '$err'"
[[ $status -eq 1 ]] || { echo "expected exit status 1"; exit 1; }
[[ -z "$out" ]] || { echo "expected no table"; exit 1; }
[[ "$err" == "parlino-render: no voices are installed"* ]] || { echo "expected the no-voices message"; exit 1; }
