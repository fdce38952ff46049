#!/usr/bin/env bash
# Proves that the setup program's bytes come from the source alone: two
# clean builds of the checked-out tree, each in a temporary build folder of
# its own, must give byte-identical tarmesh-setup.exe for both presets.
# Extra arguments go to every configuration, e.g. -DTARMESH_PAYLOAD_DIR=...
# or -DTARMESH_FIRST_YEAR=2024 -DTARMESH_LAST_YEAR=2027. Exit code 0 when
# both programs match, 1 when one differs.
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
work=$(mktemp -d /tmp/tarmesh-reproducible.XXXXXX)
# One Wine prefix serves both builds' packing tools: it takes longer to make
# than the packing itself.
export TARMESH_WINEPREFIX=$work/wineprefix
finish() {
    [ -x "$work/one/win64/wine-run" ] && "$work/one/win64/wine-run" --stop >/dev/null 2>&1
    rm -rf "$work"
}
trap finish EXIT

build() {
    local folder=$1
    shift
    echo "== clean build in $folder"
    # Only the programs: the tests do not change what ships.
    cmake -S "$source" -B "$folder/win64" --preset win64 -DTARMESH_BUILD_TESTS=OFF "$@" >"$folder.log"
    cmake --build "$folder/win64" -j2 --target tarmesh-setup >>"$folder.log"
    cmake -S "$source" -B "$folder/win32" --preset win32 -DTARMESH_BUILD_TESTS=OFF "$@" \
        -DTARMESH_PACK_TOOL="$folder/win64/tarmesh-pack.exe" -DTARMESH_PACK_RUNNER="$folder/win64/wine-run" \
        >>"$folder.log"
    cmake --build "$folder/win32" -j2 --target tarmesh-setup >>"$folder.log"
}

build "$work/one" "$@"
build "$work/two" "$@"

status=0
for preset in win64 win32; do
    one=$(sha256sum <"$work/one/$preset/tarmesh-setup.exe" | cut -d' ' -f1)
    two=$(sha256sum <"$work/two/$preset/tarmesh-setup.exe" | cut -d' ' -f1)
    if [ "$one" = "$two" ]; then
        echo "$preset: identical, SHA-256 $one"
    else
        echo "$preset: DIFFERENT: $one and $two; first differing bytes (offset, octal):"
        cmp -l "$work/one/$preset/tarmesh-setup.exe" "$work/two/$preset/tarmesh-setup.exe" | head -n 10 || true
        status=1
    fi
done
exit $status
