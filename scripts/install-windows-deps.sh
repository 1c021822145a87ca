#!/usr/bin/env bash
# Installs the Debian packages of the Windows build: the MinGW-w64 cross
# compiler and Wine (see install-deps.sh --windows).
exec "$(dirname "$0")/install-deps.sh" --windows
