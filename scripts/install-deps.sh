#!/usr/bin/env bash
# Installs the Debian packages Parlino needs; with --test also those the test
# suite uses; with --windows only those of the Windows build and its tests
# under Wine. Does nothing when they are all present already.
set -euo pipefail

build=(cmake g++ make pkg-config dpkg-dev qt6-base-dev libgl-dev libespeak-ng-dev espeak-ng-data flite1-dev libpulse-dev
       libpng-dev nlohmann-json3-dev libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core)
test_only=(pulseaudio pulseaudio-utils sox espeak-ng xvfb xauth dbus mpv mpv-mpris at-spi2-core python3-pyatspi
           desktop-file-utils appstream man-db clang libclang-rt-14-dev ffmpeg)

# The cross compiler with POSIX threads (std::thread needs them), Wine, which
# runs the tests, and the sources of GoogleTest, built for the cross compiler.
windows=(g++-mingw-w64-x86-64-posix wine64 cmake make googletest nlohmann-json3-dev)

wanted=("${build[@]}")
[[ "${1:-}" == "--test" ]] && wanted+=("${test_only[@]}")
[[ "${1:-}" == "--windows" ]] && wanted=("${windows[@]}")

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "Run as root or install sudo to set up the packages." >&2; exit 1; }
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
