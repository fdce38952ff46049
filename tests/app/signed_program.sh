#!/usr/bin/env bash
# The build's own signing step on a copy of the built setup program, with
# code-signing certificates made here: the signature verifies, one changed
# byte breaks it, a key that is not the certificate's fails the signing and
# leaves the program unsigned, and the signed program still installs, its
# copy in the setup folder being the signed file.
#   signed_program.sh SIGN_SCRIPT NAME URL PROGRAM BUILD_SIGNS WORK WINE_RUN_X END_TO_END_TESTS
set -euo pipefail
sign=$1 name=$2 url=$3 program=$4 build_signs=$5 work=$6 wine_run=$7 end_to_end=$8
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cd "$work"

certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 2 \
        -subj "/CN=Ostrel test $1" -addext "keyUsage=critical,digitalSignature" \
        -addext "extendedKeyUsage=codeSigning" 2>/dev/null
}
certificate maker
certificate stranger

# Nothing is signed when the build is given no certificate.
if [ "$build_signs" = 0 ] && osslsigncode verify -in "$program" >/dev/null 2>&1; then
    fail "the build signed the program without a certificate"
fi

# PEM certificate and key.
cp "$program" tarmesh-setup.exe
"$sign" tarmesh-setup.exe "$name" "$url" --cert maker.pem --key maker.key
osslsigncode verify -CAfile maker.pem -in tarmesh-setup.exe >verify.log 2>&1 ||
    { cat verify.log; fail "the signed program does not verify"; }
grep -q "^Message digest algorithm  : SHA256" verify.log || fail "the digest is not SHA-256"
grep -q "Text description: $name\$" verify.log || fail "the program's name is not in the signature"
grep -q "URL description: $url\$" verify.log || fail "the web address is not in the signature"

# One changed byte in the middle of the program.
cp tarmesh-setup.exe changed.exe
python3 - changed.exe <<'PY'
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(0, 2)
    f.seek(f.tell() // 2)
    byte = f.read(1)
    f.seek(-1, 1)
    f.write(bytes([byte[0] ^ 0x01]))
PY
osslsigncode verify -CAfile maker.pem -in changed.exe >/dev/null 2>&1 && fail "a changed byte still verifies"

# A key that is not the certificate's: the signing fails, the file stays as it was.
cp "$program" mismatched.exe
"$sign" mismatched.exe "$name" "$url" --cert maker.pem --key stranger.key 2>/dev/null &&
    fail "signing with another certificate's key succeeded"
cmp -s "$program" mismatched.exe || fail "a failed signing changed the program"

# PKCS#12 with a password file.
echo "a password of the maker's" >password.txt
openssl pkcs12 -export -inkey maker.key -in maker.pem -out maker.p12 -passout file:password.txt
cp "$program" pkcs12.exe
"$sign" pkcs12.exe "$name" "$url" --pkcs12 maker.p12 --password-file password.txt
osslsigncode verify -CAfile maker.pem -in pkcs12.exe >/dev/null 2>&1 || fail "the PKCS#12 signature does not verify"

# The signed program installs and uninstalls (the end-to-end case compares
# the setup folder's copy with the program it ran).
windows=$(printf 'Z:%s' "$work/tarmesh-setup.exe" | tr / '\\')
TARMESH_SETUP_PROGRAM=$windows "$wine_run" "$end_to_end" \
    --gtest_filter=Installer.InstallsIntoEveryRevitFoundAndUninstallsThroughItsEntry >install.log 2>&1 ||
    { cat install.log; fail "the signed program did not install"; }
grep -q "PASSED.* 1 test" install.log || { cat install.log; fail "the install case did not run"; }
echo "signed, verified, refused when changed, installed"
