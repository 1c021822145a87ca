#!/usr/bin/env bash
# The Windows step of the test suite: installs the cross compiler and Wine,
# boots a private Wine prefix, cross-builds the Windows programs and tests
# (preset mingw) and runs them under Wine with CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-windows-deps.sh

export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_DIR=${CCACHE_DIR:-$PWD/build/.ccache}
if command -v ccache >/dev/null; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi

# A prefix of its own, booted without the .NET and HTML runtimes, with the
# null display driver (windows exist, nothing is drawn) and the PulseAudio
# sound driver; one wine server is kept for the whole run, so that each
# program starts in a fraction of a second.
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
WINEPREFIX=$(mktemp -d /tmp/parlino-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=en_US.UTF-8
# No sound server for the first run: the wave-out devices must then be none.
export PULSE_SERVER=unix:$WINEPREFIX/no-sound-server
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
"$wineserver" -p
"$wine" wineboot -i >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f >/dev/null 2>&1
# The boot's desktop process was started before the display driver was
# chosen and would keep windows from being made: the prefix's server is
# restarted, so that everything starts anew with the null driver.
"$wineserver" -k
"$wineserver" -p
# COM's service: started here once, since the first program to need it
# otherwise waits about 10 s for it (the speech tests and --voices use COM).
"$wine" net start RpcSs >/dev/null 2>&1 || true

# The listing test compares with the Linux program.
if [[ ! -x build/asan/parlino-render ]]; then
    cmake --preset asan >/dev/null
    cmake --build --preset asan -j2 --target parlino-render
fi

cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2
ctest --preset mingw
