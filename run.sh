#!/usr/bin/env bash
# Sets up this machine (Debian 12 or newer), builds a release build and starts Parlino.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target parlino >/dev/null
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "Parlino is built (build/release/parlino) but there is no display to open its window on (DISPLAY and WAYLAND_DISPLAY are unset)."
    exit 1
fi
exec build/release/parlino "$@"
