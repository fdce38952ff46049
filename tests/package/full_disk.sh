#!/bin/sh
# Mounts a 64 KB file system, lets the extraction fill it, and unmounts it.
#   full_disk.sh WINE_RUN PACKAGE_TESTS MOUNT_FOLDER WINE_PREFIX
# A Wine server sees only the mounts that existed when it started, so the
# test runs in a mount namespace of its own, on an overlay of the test
# prefix, whose server starts after the mount.
# Exit code 77 (skipped) where this machine does not allow the mounts.
wine_run=$1 tests=$2 folder=$3 prefix=$4
mkdir -p "$folder"
unshare --mount true 2>/dev/null || { echo "cannot make a mount namespace here"; exit 77; }
full_disk="$(printf 'Z:%s\\' "$folder" | tr / '\\')"
TARMESH_FULL_DISK="$full_disk" exec unshare --mount sh -c '
wine_run=$1 tests=$2 folder=$3 prefix=$4
mount -t tmpfs -o size=64k tarmesh-full-disk "$folder" 2>/dev/null || { echo "cannot mount a file system here"; exit 77; }
layers=$(mktemp -d)
mkdir "$layers/upper" "$layers/work" "$layers/prefix"
mount -t overlay overlay -o "lowerdir=$prefix,upperdir=$layers/upper,workdir=$layers/work" "$layers/prefix" ||
    { echo "cannot mount an overlay here"; exit 77; }
export TARMESH_WINEPREFIX="$layers/prefix"
"$wine_run" "$tests" --gtest_filter="ExtractionOnAFullDisk.*"
status=$?
"$wine_run" --stop
umount "$layers/prefix" "$folder"
rm -rf "$layers"
exit $status
' full_disk "$wine_run" "$tests" "$folder" "$prefix"
