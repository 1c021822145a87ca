#!/usr/bin/env bash
# Sets up this machine (Debian 12 or newer), builds a release build and starts Parlino.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target parlino parlino-render >/dev/null
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    # No display for the window: read a bundled example into a voice-over track instead.
    build/release/parlino-render -o build/release/welcome_utf8.wav examples/welcome_utf8.srt
    echo "No display to open Parlino's window on (DISPLAY and WAYLAND_DISPLAY are unset)."
    echo "Instead examples/welcome_utf8.srt was read aloud into build/release/welcome_utf8.wav"
    echo "Play it with: paplay build/release/welcome_utf8.wav   (or aplay, or sox's play)"
    exit 0
fi
exec build/release/parlino "$@"
