#!/bin/sh
# Runs a command inside the 32-bit Wine root (Debian 13's Wine, its i386
# loader under qemu-i386), in a mount namespace of its own that sees the
# caller's world where the tests need it: /dev, /proc, /sys, /tmp (Wine's
# server sockets, X displays, temporary prefixes), the caller's hosts file
# (a test may have mounted its own over /etc/hosts), the X authority file
# and the given folders at their own paths. The command starts in the
# caller's folder.
#   wine-root-enter.sh ROOT FOLDER... -- COMMAND [ARGS...]
# No pid namespace: a wineserver started here outlives this command and
# serves the callers that come after it, in namespaces of their own.
root=$1
shift
if [ ! -x "$root/usr/lib/wine/wine64" ]; then
    echo "wine-root-enter: no Wine root at $root (scripts/bootstrap.sh makes it)" >&2
    exit 1
fi
# Without root rights, a user namespace gives the mount and chroot rights.
as_root=
[ "$(id -u)" -eq 0 ] || as_root=--map-root-user
exec unshare --mount $as_root sh -e -c '
root=$1
shift
mount --rbind /dev "$root/dev"
mount --rbind /proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --rbind /tmp "$root/tmp"
mount --bind /etc/hosts "$root/etc/hosts"
# The X display of the caller, when it has an authority file.
if [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
    mkdir -p "$root$(dirname "$XAUTHORITY")"
    touch "$root$XAUTHORITY"
    mount --bind "$XAUTHORITY" "$root$XAUTHORITY"
fi
while [ "$1" != -- ]; do
    mkdir -p "$root$1"
    mount --rbind "$1" "$root$1"
    shift
done
shift
exec chroot "$root" /bin/sh -c "cd \"\$0\" && exec \"\$@\"" "$PWD" "$@"
' wine-root-enter "$root" "$@"
