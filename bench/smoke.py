#!/usr/bin/env python3
"""The benchmark's install driver on a tiny payload, as CI runs it.

  smoke.py WINE_RUN TARMESH_PACK INSTALL_BENCH WORK_FOLDER

Packs a four-file payload with the packing tool and installs it for 2016
and 2017, from the package file and from a copy of the driver that carries
the package as its resource; installs a package whose members come from the
gzip command and from zlib; and checks that a damaged package fails before
anything is written. Every
installed file is compared with its source.
"""

import gzip
import os
import random
import shutil
import struct
import subprocess
import sys

WINE_RUN, PACK, DRIVER, WORK = sys.argv[1:5]
failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def windows_path(path, folder=False):
    return "Z:" + path.replace("/", "\\") + ("\\" if folder else "")


def write(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(content)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def run(*arguments):
    done = subprocess.run([WINE_RUN] + list(arguments), stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, timeout=120)
    return done.returncode, done.stdout.replace("\r", ""), done.stderr


def install(package, addins, *years):
    shutil.rmtree(addins, ignore_errors=True)
    return run(DRIVER, windows_path(package), windows_path(addins, True), *[str(y) for y in years])


def record(name, member):
    return name.encode("utf-16-le") + b"\0\0" + struct.pack("<I", len(member)) + member


shutil.rmtree(WORK, ignore_errors=True)
payload = os.path.join(WORK, "payload")
library = random.Random(2017).randbytes(150000) + b"x64 library" * 5000
files = {
    "0000/tarmesh.addin": b"<AddIn>common</AddIn>",
    "0000/tarmesh/x64/lib.dll": library,
    "2017/tarmesh.addin": b"<AddIn>2017</AddIn>",
    "2017/tarmesh/help/index.html": b"<html>" + b"help " * 3000 + b"</html>",
}
for name, content in files.items():
    write(os.path.join(payload, name), content)

# A package from the packing tool, installed as the installer does it.
package = os.path.join(WORK, "tarmesh.pkg")
code, _, err = run(PACK, windows_path(payload, True), windows_path(package))
check(code == 0, "tarmesh-pack failed: %s" % err)
addins = os.path.join(WORK, "Addins")
code, out, err = install(package, addins)
check(code == 0, "the install failed (%d): %s" % (code, err))
lines = out.splitlines()
# 2017 writes one manifest, its own, last.
for expected in ("year 2016 files 2", "year 2017 files 3", "files 5", "pause_ms 25"):
    check(expected in lines, "%r missing from the output:\n%s" % (expected, out))
check(any(line.startswith("elapsed_ms ") for line in lines), "no elapsed_ms line:\n%s" % out)
check(any(line.startswith("proof_ms ") for line in lines), "no proof_ms line:\n%s" % out)
check(read(os.path.join(addins, "2016/tarmesh.addin")) == files["0000/tarmesh.addin"],
      "2016 must get the common manifest")
check(read(os.path.join(addins, "2016/tarmesh/x64/lib.dll")) == library, "2016 library differs")
check(read(os.path.join(addins, "2016/tarmesh/help/index.html")) is None, "2016 got a 2017 file")
check(read(os.path.join(addins, "2017/tarmesh.addin")) == files["2017/tarmesh.addin"],
      "2017 must get its own manifest over the common one")
check(read(os.path.join(addins, "2017/tarmesh/x64/lib.dll")) == library, "2017 library differs")
check(read(os.path.join(addins, "2017/tarmesh/help/index.html")) == files["2017/tarmesh/help/index.html"],
      "2017 help page differs")

# The same package as the driver's own resource, where the setup program
# keeps it.
embedded = os.path.join(WORK, "embedded.exe")
shutil.copyfile(DRIVER, embedded)
code, _, err = run(DRIVER, "--embed", windows_path(package), windows_path(embedded))
check(code == 0, "--embed failed (%d): %s" % (code, err))
code, out, err = run(embedded, "--embedded", windows_path(os.path.join(WORK, "Addins-embedded"), True))
check(code == 0 and "files 5" in out.splitlines(), "--embedded failed (%d): %s%s" % (code, out, err))
for name, content in (("2016/tarmesh/x64/lib.dll", library), ("2017/tarmesh.addin", files["2017/tarmesh.addin"])):
    check(read(os.path.join(WORK, "Addins-embedded", name)) == content, "from the resource, %s differs" % name)

# Members made by the gzip command (with its stored file name) and by zlib.
source = os.path.join(WORK, "lib.dll")
write(source, library)
from_tool = subprocess.run(["gzip", "-6", "-c", source], stdout=subprocess.PIPE, check=True).stdout
check(from_tool[3] == 8, "gzip stored no file name; the case of a stored name goes untested")
from_zlib = gzip.compress(files["2017/tarmesh.addin"], compresslevel=9, mtime=0)
foreign = os.path.join(WORK, "foreign.pkg")
write(foreign, struct.pack("<I", 2) + record("0000\\tarmesh\\x64\\lib.dll", from_tool) +
      record("2017\\tarmesh.addin", from_zlib))
code, out, err = install(foreign, addins, 2017)
check(code == 0 and "files 2" in out.splitlines(), "gzip and zlib members (%d): %s%s" % (code, out, err))
check(read(os.path.join(addins, "2017/tarmesh/x64/lib.dll")) == library, "the gzip command's member differs")
check(read(os.path.join(addins, "2017/tarmesh.addin")) == files["2017/tarmesh.addin"], "zlib's member differs")

# A damaged member stops the install with exit code 1.
damaged = bytearray(read(package))
damaged[len(damaged) // 2] ^= 0xFF
write(os.path.join(WORK, "damaged.pkg"), bytes(damaged))
code, _, err = install(os.path.join(WORK, "damaged.pkg"), addins)
check(code == 1 and "damaged" in err, "a damaged package must fail with exit code 1 (%d): %s" % (code, err))
check(not os.path.exists(addins), "a damaged package must be refused before anything is written")

for failure in failures:
    print("FAIL:", failure)
if not failures:
    print("all passed")
sys.exit(1 if failures else 0)
