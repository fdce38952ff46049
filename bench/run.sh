#!/bin/sh
# Packs and installs a delivered-size payload with tarmesh and with gzip,
# side by side, and writes the figures into docs/benchmarks.md.
#   bench/run.sh [--runs N] [--one-core]
# Needs the win64 build (cmake --preset win64 && cmake --build --preset win64).
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
exec python3 "$repo/bench/bench.py" "$repo" "$repo/build/win64" "$@"
