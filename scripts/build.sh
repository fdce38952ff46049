#!/usr/bin/env bash
# Sets up the machine, then configures and builds both programs: the shipped
# 32-bit one (build/win32) and the 64-bit one with the tests (build/win64).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
# win64 first: the win32 build packs its payload with the win64 packing tool.
for preset in win64 win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
