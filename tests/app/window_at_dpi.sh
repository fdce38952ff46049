#!/bin/sh
# Runs one window test with the test prefix's screen at another DPI, then
# sets it back to Windows' default of 96 for the tests after it, whatever
# happened. Wine's desktop takes the DPI (LogPixels) when it starts: the
# prefix's server, and with it the desktop, restarts each time.
#   window_at_dpi.sh WINE_RUN_X DPI TEST_PROGRAM TEST_NAME
set -u
runner=$1
dpi=$2
program=$3
test_name=$4
desktop_key='HKCU\Control Panel\Desktop'

restore() {
    "$runner" reg delete "$desktop_key" /v LogPixels /f >/dev/null 2>&1
    "$runner" --start
}
trap restore EXIT
trap 'exit 1' INT TERM

"$runner" reg add "$desktop_key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null || exit 1
"$runner" --start || exit 1
output=$("$runner" "$program" --gtest_filter="$test_name" 2>&1)
status=$?
printf '%s\n' "$output"
# A name that matches no test would pass without running anything.
printf '%s\n' "$output" | grep -q '^\[  PASSED  \] 1 test' || status=1
exit $status
