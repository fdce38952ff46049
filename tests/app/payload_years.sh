#!/usr/bin/env bash
# A maker's build for Revit 2014-2027: its payload's 2025 folder is accepted,
# a 2030 folder fails the configuration, and fails the build when it appears
# after the configuration, both times with a message naming it.
#   payload_years.sh SOURCE_DIR TOOLCHAIN PACK_TOOL PACK_RUNNER WORK
set -euo pipefail
source_dir=$1 toolchain=$2 pack_tool=$3 pack_runner=$4 work=$5
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/payload/0000" "$work/payload/2025"
echo common >"$work/payload/0000/tarmesh.addin"
echo "for 2025" >"$work/payload/2025/tarmesh.addin"
configure() {
    cmake -S "$source_dir" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DTARMESH_PAYLOAD_DIR="$work/payload" -DTARMESH_FIRST_YEAR=2014 -DTARMESH_LAST_YEAR=2027 \
        -DTARMESH_PACK_TOOL="$pack_tool" -DTARMESH_PACK_RUNNER="$pack_runner" >"$work/configure.log" 2>&1
}
refused='version folder "2030" is outside the installation years 2014-2027'
# CMake wraps its messages.
names_2030() { tr -s ' \n' '  ' <"$1" | grep -q "$refused"; }

mkdir "$work/payload/2030"
echo "for 2030" >"$work/payload/2030/tarmesh.addin"
configure && fail "a payload with a 2030 folder was configured"
names_2030 "$work/configure.log" || { cat "$work/configure.log"; fail "the message does not name 2030"; }

rm -r "$work/payload/2030"
configure || { cat "$work/configure.log"; fail "a payload with 0000 and 2025 was refused"; }

# The folder appears after the configuration: the build looks again.
mkdir "$work/payload/2030"
echo "for 2030" >"$work/payload/2030/tarmesh.addin"
cmake --build "$work/build" --target tarmesh_payload >"$work/build.log" 2>&1 && fail "the build packed a 2030 folder"
names_2030 "$work/build.log" || { cat "$work/build.log"; fail "the build's message does not name 2030"; }
rm -rf "$work"
echo "2025 accepted, 2030 refused"
