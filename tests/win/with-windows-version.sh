#!/usr/bin/env bash
# Runs a Windows program under Wine with the Windows version Wine reports set
# to VERSION (HKCU\Software\Wine, value Version: "winxp" makes GetVersionExA
# say 5.1), then puts the prefix's setting back as it was.
# Usage: with-windows-version.sh WINE VERSION MAJOR PROGRAM ARGS...
set -euo pipefail
wine=$1 version=$2 major=$3
shift 3
key='HKCU\Software\Wine'
old=$("$wine" reg query "$key" /v Version 2>/dev/null | tr -d '\r' | awk '$1 == "Version" { print $3 }' || true)
restore() {
    if [[ -n "$old" ]]; then
        "$wine" reg add "$key" /v Version /d "$old" /f >/dev/null 2>&1
    else
        "$wine" reg delete "$key" /v Version /f >/dev/null 2>&1 || true
    fi
}
trap restore EXIT
"$wine" reg add "$key" /v Version /d "$version" /f >/dev/null 2>&1
PARLINO_WINDOWS_MAJOR=$major "$wine" "$@"
