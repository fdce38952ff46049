#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine:
# the MinGW-w64 cross compilers, Wine, Xvfb, GoogleTest's sources, CMake,
# Ninja, OpenSSL, osslsigncode (to sign the program), Python, GNU time (for
# bench/run.sh), libdeflate cross-built for both MinGW targets from Debian's
# own source package, and the root in which the 32-bit program runs: Debian
# 13's Wine with its i386 loader under qemu-i386 (this machine's kernel runs
# no 32-bit code). Safe
# to run again: when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 xvfb xauth
    googletest cmake ninja-build make dpkg-dev
    openssl osslsigncode python3 file time iproute2 mmdebstrap gcc libc6-dev
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

# Wine for the 32-bit program. Debian 12's Wine has no i386 side that runs
# here, so a Debian 13 root holds Wine 10 for amd64 and i386; its i386
# loader is diverted and replaced by a script that runs it under qemu-i386,
# keeping argv[0] so that either loader finds the other by name.
WINE_ROOT=${TARMESH_WINE_ROOT:-/opt/tarmesh-wine32/root}
WINE_ROOT_PACKAGES=wine,wine64,libwine,fonts-wine,wine32:i386,libwine:i386,qemu-user,xvfb,xauth,util-linux
WINE_ROOT_STAMP=$WINE_ROOT/.tarmesh-root-1

build_wine_root() {
    [ -f "$WINE_ROOT_STAMP" ] && return 0
    local new=$WINE_ROOT.new
    echo "bootstrap: making the 32-bit Wine root in $WINE_ROOT (Debian 13, a few minutes)"
    as_root rm -rf "$new"
    as_root mkdir -p "$(dirname "$WINE_ROOT")"
    as_root mmdebstrap --quiet --variant=minbase --architectures=amd64,i386 \
        --include="$WINE_ROOT_PACKAGES" trixie "$new" http://deb.debian.org/debian
    as_root chroot "$new" dpkg-divert --quiet --local --rename \
        --divert /usr/lib/wine/wine.i386 --add /usr/lib/wine/wine
    as_root tee "$new/usr/lib/wine/wine" >/dev/null <<'EOF'
#!/bin/sh
# The i386 Wine loader, emulated: the kernel here runs no 32-bit code.
exec /usr/bin/qemu-i386 -0 "$0" /usr/lib/wine/wine.i386 "$@"
EOF
    as_root chmod 755 "$new/usr/lib/wine/wine"
    # The runner mounts the caller's hosts file over this one.
    printf '127.0.0.1 localhost\n::1 localhost\n' | as_root tee "$new/etc/hosts" >/dev/null
    as_root rm -rf "$WINE_ROOT"
    as_root mv "$new" "$WINE_ROOT"
    as_root touch "$WINE_ROOT_STAMP"
}

install_packages
build_libdeflate
build_wine_root
echo "bootstrap: ready (libdeflate in $LIBDEFLATE_PREFIX, 32-bit Wine in $WINE_ROOT)"
