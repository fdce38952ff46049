#!/usr/bin/env bash
# Builds everything and runs the setup program under wine64, in a Wine prefix
# of its own (build/run-prefix), with the arguments given here, on your X
# display when there is one. Without arguments it runs the create mode on the
# sample payload, writing build/run/tarmesh.pkg and build/run/setup-version.h;
# the interactive installer is not built yet.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export TARMESH_WINEPREFIX="$PWD/build/run-prefix"
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
default_create=0
if [ $# -eq 0 ]; then
    default_create=1
    mkdir -p build/run
    rm -f build/run/tarmesh.pkg
    cp resources/setup-version.h build/run/setup-version.h
    set -- /create "$(windows_path "$PWD/sample/payload")\\" "$(windows_path "$PWD/build/run/tarmesh.pkg")" \
        "$(windows_path "$PWD/sample/AssemblyInfo.cs")" "$(windows_path "$PWD/build/run/setup-version.h")"
fi
if [ -n "${DISPLAY:-}" ]; then
    export TARMESH_USE_DISPLAY=1
else
    echo "No X display (DISPLAY is not set): the program's windows and message boxes cannot show."
fi
status=0
build/win64/wine-run build/win64/tarmesh-setup.exe "$@" || status=$?
echo "tarmesh-setup.exe $* ended with exit code $status"
if [ $default_create = 1 ] && [ -s build/run/tarmesh.pkg ]; then
    echo "The package it wrote, build/run/tarmesh.pkg (name, stored size, unpacked size):"
    build/win64/wine-run build/win64/tarmesh-pack.exe --list "$(windows_path "$PWD/build/run/tarmesh.pkg")"
    sed -n 2p build/run/setup-version.h
fi
