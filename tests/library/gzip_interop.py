#!/usr/bin/env python3
"""Gzip members cross the Wine boundary in both directions.

  gzip_interop.py WINE_RUN FILE_PROBE WINE_PREFIX written
      members of File::Gzip unpack with gzip -dc and zlib, byte for byte
  gzip_interop.py WINE_RUN FILE_PROBE WINE_PREFIX read
      members of the gzip command (with and without a stored name) and of
      File::Gzip unpack with Mem::Gunzip, byte for byte

The files live in a fresh folder on drive C: of the test's Wine prefix.
"""

import os
import random
import shutil
import subprocess
import sys
import tempfile
import zlib

HEADER = bytes.fromhex("1F 8B 08 00 00 00 00 00 00 FF")
# Empty, tiny, incompressible and compressible; "a" gets a one-letter stored name.
SAMPLES = [("empty.bin", b""), ("a", b"abc"), ("noise.bin", random.Random(1952).randbytes(1 << 20)),
           ("text.txt", b"".join(b"line %06d of a text that repeats\r\n" % (i % 977) for i in range(30000)))]
failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def gzip_tool(*arguments):
    return subprocess.run(["gzip"] + list(arguments), stdout=subprocess.PIPE, stderr=subprocess.PIPE)


class Folder:
    def __init__(self, wine_run, program, prefix):
        self.wine_run, self.program = wine_run, program
        self.path = tempfile.mkdtemp(prefix="tarmesh-gzip-", dir=os.path.join(prefix, "drive_c"))

    def file(self, name):
        return os.path.join(self.path, name)

    def write(self, name, content):
        with open(self.file(name), "wb") as f:
            f.write(content)

    def read(self, name):
        with open(self.file(name), "rb") as f:
            return f.read()

    def probe(self, mode, pairs):
        """Runs file-probe over (input, output) names; returns its result for each pair."""
        windows = ["C:\\%s\\%s" % (os.path.basename(self.path), name) for pair in pairs for name in pair]
        done = subprocess.run([self.wine_run, self.program, mode] + windows, stdout=subprocess.PIPE,
                              stdin=subprocess.DEVNULL, timeout=240)
        results = [int(line.split(b"=")[1]) for line in done.stdout.splitlines() if b"=" in line]
        if done.returncode != 0 or len(results) != len(pairs):
            raise RuntimeError("file-probe %s: exit %d, %r" % (mode, done.returncode, done.stdout))
        return results


def check_written(folder):
    for name, content in SAMPLES:
        folder.write(name, content)
    results = folder.probe("gzip", [(name, name + ".gz") for name, _ in SAMPLES])
    for (name, content), written in zip(SAMPLES, results):
        member = folder.read(name + ".gz")
        if not content:
            check(written == 0 and member == b"", "%s: gave %d, %d bytes" % (name, written, len(member)))
            continue
        check(written == len(member), "%s: returned %d for %d bytes" % (name, written, len(member)))
        trailer = zlib.crc32(content).to_bytes(4, "little") + len(content).to_bytes(4, "little")
        check(member[:10] == HEADER and member[-8:] == trailer, "%s: member %s ... %s" %
              (name, member[:10].hex(" "), member[-8:].hex(" ")))
        try:
            check(zlib.decompress(member[10:-8], -15) == content, "%s: zlib unpacks other bytes" % name)
        except zlib.error as error:
            check(False, "%s: zlib: %s" % (name, error))
        tool = gzip_tool("-dc", folder.file(name + ".gz"))
        check(tool.returncode == 0 and tool.stdout == content, "%s: gzip -dc: %s" % (name, tool.stderr))
    check(folder.read("a.gz")[-8:] == bytes.fromhex("C2 41 24 35 03 00 00 00"), "abc: wrong trailer")
    check(0 < results[3] < len(SAMPLES[3][1]) // 4, "the text was not compressed: %d bytes" % results[3])


def check_read(folder):
    members = []  # (member file, output file, original content)
    for name, content in SAMPLES:
        folder.write(name, content)
        named = gzip_tool("-c", folder.file(name)).stdout
        check(named[3] == 8, "%s: gzip stored no name (FLG %d)" % (name, named[3]))
        folder.write(name + ".named.gz", named)
        folder.write(name + ".plain.gz", gzip_tool("-9", "-n", "-c", folder.file(name)).stdout)
        members += [(name + ".named.gz", name + ".named", content), (name + ".plain.gz", name + ".plain", content)]
    own = [(name, name + ".own.gz", name + ".own", content) for name, content in SAMPLES if content]
    folder.probe("gzip", [(name, member) for name, member, _, _ in own])
    members += [(member, out, content) for _, member, out, content in own]

    results = folder.probe("gunzip", [(member, out) for member, out, _ in members])
    for (member, out, content), result in zip(members, results):
        # An empty file cannot be carried: its member counts as damaged.
        check(result == len(content), "%s: returned %d for %d bytes" % (member, result, len(content)))
        check(folder.read(out) == content, "%s: unpacked bytes differ from the original" % member)


def main():
    wine_run, program, prefix, mode = sys.argv[1:5]
    folder = Folder(wine_run, program, prefix)
    try:
        {"written": check_written, "read": check_read}[mode](folder)
    finally:
        shutil.rmtree(folder.path, ignore_errors=True)
    for message in failures:
        print("FAIL:", message)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
