#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine:
# the MinGW-w64 cross compilers, Wine, Xvfb, GoogleTest's sources, CMake,
# Ninja, OpenSSL, osslsigncode (to sign the program), Python, GNU time (for
# bench/run.sh), and libdeflate cross-built for both MinGW targets from
# Debian's own source package. Safe to run again: when everything is present
# it only checks and returns.
set -euo pipefail

PACKAGES=(
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 xvfb xauth
    googletest cmake ninja-build make dpkg-dev
    openssl osslsigncode python3 file time iproute2
)
LIBDEFLATE_PREFIX=${LIBDEFLATE_PREFIX:-/opt/mingw-libdeflate}
TRIPLETS=(i686-w64-mingw32 x86_64-w64-mingw32)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing_packages() {
    local pkg status
    for pkg in "${PACKAGES[@]}"; do
        status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
        [ "$status" = "install ok installed" ] || echo "$pkg"
    done
}

install_packages() {
    local missing
    missing=$(missing_packages)
    [ -n "$missing" ] || return 0
    echo "bootstrap: installing" $missing
    as_root apt-get update -qq
    # shellcheck disable=SC2086
    as_root env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# A deb-src entry for the same archive and suite the machine already uses.
add_source_entry() {
    grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/ && return 0
    local uri suite
    uri=$(grep -rhs '^URIs:' /etc/apt/sources.list.d/debian.sources | head -n1 | awk '{print $2}')
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    [ -n "$uri" ] || uri=http://deb.debian.org/debian
    as_root tee /etc/apt/sources.list.d/debian-src.sources >/dev/null <<EOF
Types: deb-src
URIs: $uri
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    as_root apt-get update -qq
}

libdeflate_ready() {
    local triplet
    for triplet in "${TRIPLETS[@]}"; do
        [ -f "$LIBDEFLATE_PREFIX/$triplet/lib/libdeflate.a" ] || return 1
        [ -f "$LIBDEFLATE_PREFIX/$triplet/include/libdeflate.h" ] || return 1
    done
}

build_libdeflate() {
    libdeflate_ready && return 0
    add_source_entry
    local work triplet
    work=$(mktemp -d)
    trap 'rm -rf "$work"' RETURN
    (cd "$work" && apt-get source -qq --download-only libdeflate >/dev/null 2>&1 &&
        dpkg-source -x --skip-patches ./*.dsc src >/dev/null 2>&1)
    for triplet in "${TRIPLETS[@]}"; do
        echo "bootstrap: building libdeflate for $triplet"
        make -s -C "$work/src" clean >/dev/null
        make -s -C "$work/src" -j"$(nproc)" CC="$triplet-gcc-posix" AR="$triplet-ar" \
            CFLAGS="-O2" libdeflatestatic.lib >/dev/null
        as_root install -D -m644 "$work/src/libdeflatestatic.lib" "$LIBDEFLATE_PREFIX/$triplet/lib/libdeflate.a"
        as_root install -D -m644 "$work/src/libdeflate.h" "$LIBDEFLATE_PREFIX/$triplet/include/libdeflate.h"
        as_root install -D -m644 "$work/src/COPYING" "$LIBDEFLATE_PREFIX/$triplet/share/COPYING"
    done
}

install_packages
build_libdeflate
echo "bootstrap: ready (libdeflate in $LIBDEFLATE_PREFIX)"
