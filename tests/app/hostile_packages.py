#!/usr/bin/env python3
"""Makes damaged and hostile packages from a sound one, each as
OUTPUT/<name>/tarmesh.pkg, for setup programs built around them.

  hostile_packages.py PACKAGE OUTPUT

  dotdot      a second entry named 0000\\..\\..\\escaped.txt
  truncated   cut in the middle of its last member
  count       an entry count one beyond its records
  lastmember  eight bytes in the middle of its last member's data inverted;
              every name and size still sound
"""

import os
import struct
import sys


def records(package):
    count = struct.unpack_from("<I", package, 0)[0]
    at, found = 4, []
    for _ in range(count):
        end = at
        while package[end:end + 2] != b"\0\0":
            end += 2
        name = package[at:end + 2]
        size = struct.unpack_from("<I", package, end + 2)[0]
        found.append((name, package[end + 6:end + 6 + size]))
        at = end + 6 + size
    return found


def join(entries, count=None):
    body = b"".join(name + struct.pack("<I", len(member)) + member for name, member in entries)
    return struct.pack("<I", len(entries) if count is None else count) + body


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    package = open(sys.argv[1], "rb").read()
    entries = records(package)
    escaped = "0000\\..\\..\\escaped.txt".encode("utf-16-le") + b"\0\0"
    last_member_at = len(package) - len(entries[-1][1])
    middle = last_member_at + len(entries[-1][1]) // 2
    damaged = bytearray(package)
    for at in range(middle, middle + 8):
        damaged[at] ^= 0xFF
    made = {
        "dotdot": join(entries[:1] + [(escaped, entries[0][1])] + entries[1:]),
        "truncated": package[:len(package) - len(entries[-1][1]) // 2],
        "count": join(entries, len(entries) + 1),
        "lastmember": bytes(damaged),
    }
    for name, data in made.items():
        folder = os.path.join(sys.argv[2], name)
        os.makedirs(folder, exist_ok=True)
        open(os.path.join(folder, "tarmesh.pkg"), "wb").write(data)


if __name__ == "__main__":
    main()
