#!/usr/bin/env bash
# Runs `parlino-render --list` of the Windows build under Wine and of the
# Linux build on every subtitle fixture and example, with and without a
# charset, and fails on any file whose rows or exit status differ.
# Usage: compare-render-list.sh WINE WINDOWS_RENDER LINUX_RENDER SOURCE_DIR
set -uo pipefail
wine=$1 windows=$2 linux=$3 source=$4
if [[ ! -x "$linux" ]]; then
    echo "The Linux program $linux is missing: build it first (cmake --build --preset asan --target parlino-render)." >&2
    exit 1
fi
export LC_ALL=C.UTF-8 # code page 1252 on both systems
failed=0 compared=0
for file in "$source"/tests/data/{subtitles,webvtt,ass,render}/* "$source"/examples/*; do
    [[ -f "$file" ]] || continue
    for charset in "" RUSSIAN_CHARSET; do
        args=(--list "$file")
        [[ -n "$charset" ]] && args+=(--charset "$charset")
        want=$("$linux" "${args[@]}" 2>/dev/null); wantStatus=$?
        got=$("$wine" "$windows" "${args[@]}" 2>/dev/null | tr -d '\r'); gotStatus=${PIPESTATUS[0]}
        # Wine now and then fails to start a program at all (status 1, no
        # output): such a run is made once more before it counts.
        if [[ "$want" != "$got" && -z "$got" ]]; then
            got=$("$wine" "$windows" "${args[@]}" 2>/dev/null | tr -d '\r'); gotStatus=${PIPESTATUS[0]}
        fi
        compared=$((compared + 1))
        if [[ "$want" != "$got" || $wantStatus != "$gotStatus" ]]; then
            echo "differs: ${args[*]} (exit $wantStatus on Linux, $gotStatus on Windows)"
            diff <(echo "$want") <(echo "$got") | head -5
            failed=1
        fi
    done
done
echo "$compared listings compared"
exit $failed
