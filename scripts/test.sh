#!/usr/bin/env bash
# Builds everything and runs every test under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --preset win64
