#!/usr/bin/env bash
# Sets up this machine (Debian 12 or newer), builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh --test
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --preset asan -j"$(nproc)" "$@"
