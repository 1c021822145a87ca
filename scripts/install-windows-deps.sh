#!/usr/bin/env bash
# Installs the Debian packages of the Windows build: the MinGW-w64 cross
# compiler (POSIX threads, for std::thread) and Wine, which runs the tests.
# Does nothing when they are present already.
set -euo pipefail

wanted=(g++-mingw-w64-x86-64-posix wine64 cmake make googletest nlohmann-json3-dev)

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
