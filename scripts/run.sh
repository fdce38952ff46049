#!/usr/bin/env bash
# Builds everything and runs the setup program under wine64, in a Wine prefix
# of its own (build/run-prefix), with the arguments given here. Without
# arguments it runs the create mode, the one mode that does its work so far.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
[ $# -gt 0 ] || set -- /create
export TARMESH_WINEPREFIX="$PWD/build/run-prefix"
status=0
build/win64/wine-run build/win64/tarmesh-setup.exe "$@" || status=$?
echo "tarmesh-setup.exe $* ended with exit code $status"
