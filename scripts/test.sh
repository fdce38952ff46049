#!/usr/bin/env bash
# Builds everything and runs every test twice: on the 64-bit twin under this
# machine's wine64 (fast), then on the shipped 32-bit program under the
# 32-bit Wine root (emulated, slower). Both suites run even when the first
# fails; the exit code tells whether both passed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
status=0
ctest --preset win64 || status=1
ctest --preset win32 || status=1
exit $status
