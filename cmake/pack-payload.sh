#!/bin/sh
# Makes the package the setup program embeds, and the version header, with
# the packing tool running under Wine, and verifies the package it made.
#   pack-payload.sh RUNNER TOOL PAYLOAD_DIR ASSEMBLY_INFO HEADER_TEMPLATE PACKAGE HEADER
set -e
runner=$1 tool=$2 payload=$3 assembly_info=$4 template=$5 package=$6 header=$7
if [ ! -x "$runner" ] || [ ! -f "$tool" ]; then
    echo "pack-payload: no packing tool at $tool (the win32 build uses the one of the win64 build: build that first)" >&2
    exit 1
fi
# Wine's drive Z: is the Linux root; the tool wants the folder's final "\".
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
mkdir -p "$(dirname "$package")" "$(dirname "$header")"
cp "$template" "$header.new"
rm -f "$package.new"
"$runner" "$tool" "$(windows_path "$payload")\\" "$(windows_path "$package.new")" \
    "$(windows_path "$assembly_info")" "$(windows_path "$header.new")"
# What was packed must unpack as the installer will unpack it.
"$runner" "$tool" --verify "$(windows_path "$package.new")" >/dev/null
mv "$package.new" "$package"
mv "$header.new" "$header"
