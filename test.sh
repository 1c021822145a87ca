#!/usr/bin/env bash
# Sets up this machine (Debian 12 or newer), builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs the whole test suite, then builds the fuzz
# targets with clang and runs each for a few thousand inputs, and last the
# Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh --test
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --preset asan -j"$(nproc)" "$@"
# A short run keeps the fuzz targets working; scripts/fuzz-long.sh runs them long.
scripts/fuzz-run.sh -runs=4000
# The Windows build, cross-compiled and tested under Wine.
scripts/test-windows.sh
