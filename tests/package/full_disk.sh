#!/bin/sh
# Mounts a 64 KB file system, lets the extraction fill it, and unmounts it.
#   full_disk.sh WINE_RUN PACKAGE_TESTS MOUNT_FOLDER
# Exit code 77 (skipped) where this machine does not allow the mount.
wine_run=$1 tests=$2 folder=$3
mkdir -p "$folder"
mount -t tmpfs -o size=64k tarmesh-full-disk "$folder" 2>/dev/null || { echo "cannot mount a file system here"; exit 77; }
trap 'umount "$folder"' EXIT
TARMESH_FULL_DISK="$(printf 'Z:%s\\' "$folder" | tr / '\\')" \
    "$wine_run" "$tests" --gtest_filter='ExtractionOnAFullDisk.*'
