#!/usr/bin/env bash
# Signs a Windows program in place with Authenticode (SHA-256), the
# program's name and web address in the signature. Any failure leaves the
# program as it was and ends with a non-zero exit code, so a build that
# signs fails rather than ship an unsigned program.
#   sign-program.sh PROGRAM NAME URL --cert CERT.pem --key KEY.pem [--timestamp URL]
#   sign-program.sh PROGRAM NAME URL --pkcs12 FILE.p12 [--password-file FILE] [--timestamp URL]
# SOURCE_DATE_EPOCH, when set, is the signing time written into the
# signature, so that signing the same bytes again gives the same bytes.
set -euo pipefail
program=$1 name=$2 url=$3
shift 3
options=()
while [ $# -ge 2 ]; do
    case "$1" in
        --cert) options+=(-certs "$2") ;;
        --key) options+=(-key "$2") ;;
        --pkcs12) options+=(-pkcs12 "$2") ;;
        --password-file) options+=(-readpass "$2") ;;
        --timestamp) options+=(-ts "$2") ;;
        *) echo "sign-program: unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done
if [ $# -ne 0 ] || [ ${#options[@]} -eq 0 ]; then
    echo "sign-program: give --cert and --key, or --pkcs12" >&2
    exit 2
fi
[ -n "${SOURCE_DATE_EPOCH:-}" ] && options+=(-time "$SOURCE_DATE_EPOCH")
signed="$program.signed"
rm -f "$signed"
if ! log=$(osslsigncode sign -h sha256 -n "$name" -i "$url" "${options[@]}" -in "$program" -out "$signed" 2>&1); then
    printf '%s\n' "$log" >&2
    rm -f "$signed"
    echo "sign-program: signing $program failed" >&2
    exit 1
fi
mv "$signed" "$program"
