#!/bin/sh
# The packing tool's exit codes and messages, as a build script sees them.
#   pack_tool.sh WINE_RUN TARMESH_PACK WORK_FOLDER
wine_run=$1 tool=$2 work=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
pack() { "$wine_run" "$tool" "$@" 2>"$work/stderr" >"$work/stdout"; }

rm -rf "$work" && mkdir -p "$work/good/0000/tarmesh" "$work/empty/0000"
printf 'manifest' >"$work/good/0000/tarmesh.addin"
head -c 200000 /dev/urandom >"$work/good/0000/tarmesh/lib.dll"
: >"$work/empty/0000/empty.txt"

pack "$(windows_path "$work/good")\\" "$(windows_path "$work/good.pkg")" || fail "a good folder: exit code $?"
[ -s "$work/stderr" ] && fail "a good folder wrote to standard error: $(cat "$work/stderr")"
pack --list "$(windows_path "$work/good.pkg")" || fail "--list: exit code $?"
grep -q "^0000\\\\tarmesh\\\\lib.dll	[0-9]*	200000" "$work/stdout" || fail "--list printed: $(cat "$work/stdout")"
pack --verify "$(windows_path "$work/good.pkg")" || fail "--verify of a good package: exit code $?"

pack "$(windows_path "$work/empty")\\" "$(windows_path "$work/empty.pkg")"
[ $? -eq 1 ] || fail "an empty file must fail with exit code 1"
[ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "one line of reason expected, got: $(cat "$work/stderr")"

pack "$(windows_path "$work/missing")\\" "$(windows_path "$work/missing.pkg")"
[ $? -eq 1 ] || fail "a missing folder must fail with exit code 1"

# A maker's slips that gave a setup program failing on every machine: the
# build stops, naming the file.
for slip in "notes.txt" "2017-beta/tarmesh.addin"; do
    rm -rf "$work/slip" && mkdir -p "$work/slip/0000" "$work/slip/$(dirname "$slip")"
    printf 'manifest' >"$work/slip/0000/tarmesh.addin"
    printf 'slip' >"$work/slip/$slip"
    pack "$(windows_path "$work/slip")\\" "$(windows_path "$work/slip.pkg")"
    [ $? -eq 1 ] || fail "$slip: exit code 1 expected"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "$slip: one line of reason expected, got: $(cat "$work/stderr")"
    grep -qF "$(windows_path "$work/slip/$slip")" "$work/stderr" || fail "$slip: not named in: $(cat "$work/stderr")"
done

# Damage the middle of the library's member.
cp "$work/good.pkg" "$work/damaged.pkg"
size=$(stat -c %s "$work/damaged.pkg")
printf '\377\377\377\377\377\377\377\377' | dd of="$work/damaged.pkg" bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
pack --verify "$(windows_path "$work/damaged.pkg")"
[ $? -eq 1 ] || fail "--verify of a damaged package must fail with exit code 1"
grep -q "damaged" "$work/stderr" || fail "--verify named no damaged entry: $(cat "$work/stderr")"

[ $failures -eq 0 ] && echo "all passed"
exit $failures
