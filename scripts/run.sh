#!/usr/bin/env bash
# Builds everything and runs the shipped 32-bit setup program
# (build/win32/tarmesh-setup.exe) under the 32-bit Wine root's Wine, in a
# Wine prefix of its own (build/run-prefix32), with the arguments given
# here; without arguments, the interactive installer with the built-in
# sample payload. The prefix pretends Revit 2017 is installed, so Install
# has somewhere to install to (the add-in lands in the prefix's
# users/<you>/AppData/Roaming/Autodesk/Revit/Addins/2017).
#
# With an X display (DISPLAY set) the program shows its window there. Without
# one it runs on a virtual display (Xvfb) nobody can see: the installer's
# window is then pictured in build/run/setup-window.png and closed again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export TARMESH_WINEPREFIX="$PWD/build/run-prefix32"
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
mkdir -p build/run
# Wine's desktop belongs to the first program of a session: make it with the
# display that the program will use.
runner=build/win32/wine-run
if [ -n "${DISPLAY:-}" ]; then
    export TARMESH_USE_DISPLAY=1
elif [ $# -eq 0 ]; then
    runner=build/win32/wine-run-x
fi
"$runner" reg add 'HKCU\SOFTWARE\Autodesk\Revit\2017' /f >/dev/null

status=0
if [ -n "${DISPLAY:-}" ]; then
    "$runner" build/win32/tarmesh-setup.exe "$@" || status=$?
    echo "tarmesh-setup.exe $* ended with exit code $status"
elif [ $# -eq 0 ]; then
    echo "No X display (DISPLAY is not set): running the installer on a virtual display (Xvfb)."
    "$runner" build/win32/setup-screenshot.exe "$(windows_path "$PWD/build/win32/tarmesh-setup.exe")" \
        "$(windows_path "$PWD/build/run/setup-window.bmp")" || status=$?
    "$runner" --stop
    if [ $status = 0 ]; then
        python3 scripts/bmp-to-png.py build/run/setup-window.bmp build/run/setup-window.png
        echo "Its window, as it appeared: build/run/setup-window.png (then closed)."
    else
        echo "The installer's window did not appear (exit code $status)."
    fi
else
    echo "No X display (DISPLAY is not set): the program's message boxes cannot show."
    "$runner" build/win32/tarmesh-setup.exe "$@" || status=$?
    echo "tarmesh-setup.exe $* ended with exit code $status"
fi
exit $status
