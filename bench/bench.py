#!/usr/bin/env python3
"""Packs and installs a delivered-size payload side by side with gzip.

  bench.py REPO BUILD_DIR [--runs N] [--one-core]

Makes the payload (bench/make-payload.sh), then times, in turn and N times
each (the best time counts, the highest peak memory counts):

  pack    tarmesh-pack under wine64    versus  gzip -6 of the same 64 files
  unpack  tarmesh-install-bench        versus  gzip -d of the package's own
          (years 2016 and 2017, as the         64 members, each split out
          installer does; and 2017 alone,      into a .gz file
          which writes what gzip writes;
          and the two years again with the
          package in the driver's own
          resource, as the setup program
          holds it)

Then it measures the real setup program's peak memory and install time: a
copy of tarmesh-setup.exe carrying the same package, installing for 2016
and 2017 through its window (tarmesh-setup-peak, under wine-run-x in a Wine
prefix of the bench's own), N times, the highest peak and the shortest time
from pressing Install to "Installation complete" counting.

Every other program is timed as a whole process, Wine's start included; peak
memory is the maximum resident set size that /usr/bin/time -v reports.
With --one-core everything, Wine's server included, runs on the first
processor only, so that the server's work beside the program cannot count
as a second thread.
Prints a table and six lines for scripts, and writes the figures into
docs/benchmarks.md between its two marker lines.
"""

import os
import platform
import re
import shutil
import struct
import subprocess
import sys
import time

MB = 1e6
# The prefix of every timed command: empty, or a pin to the first processor.
PIN = []
YEARS = (2016, 2017)
PAUSE_MS_PER_LINE = 5
# The setup window's two other fixed pauses of 10 ms: after Install is
# pressed, and after its first line.
WINDOW_PAUSES_MS = 20
BEGIN = "<!-- figures: written by bench/run.sh -->"
END = "<!-- end of figures -->"


def windows_path(path, folder=False):
    return "Z:" + path.replace("/", "\\") + ("\\" if folder else "")


def files_below(folder):
    for root, _, names in os.walk(folder):
        for name in names:
            yield os.path.join(root, name)


def tree_bytes(folder):
    return sum(os.path.getsize(f) for f in files_below(folder))


class Measured:
    def __init__(self):
        self.seconds = None
        self.peak_kb = 0
        self.output = ""

    def add(self, seconds, peak_kb, output):
        if self.seconds is None or seconds < self.seconds:
            self.seconds = seconds
            self.output = output
        self.peak_kb = max(self.peak_kb, peak_kb)

    @property
    def peak_mb(self):
        return self.peak_kb * 1024 / MB


def timed(command, stats, cwd=None):
    """Runs command under /usr/bin/time -v; adds its wall time and peak RSS."""
    report = os.path.join(WORK, "time.txt")
    # Output goes to files, not pipes: a Wine helper that outlives the
    # program would hold a pipe open and its wait would count as work.
    with open(os.path.join(WORK, "stdout.txt"), "w+") as out, open(os.path.join(WORK, "stderr.txt"), "w+") as err:
        start = time.perf_counter()
        code = subprocess.run(PIN + ["/usr/bin/time", "-v", "-o", report] + command, cwd=cwd, stdin=subprocess.DEVNULL,
                              stdout=out, stderr=err).returncode
        seconds = time.perf_counter() - start
        out.seek(0)
        err.seek(0)
        output = out.read()
        if code != 0:
            sys.exit("bench: %s failed (%d):\n%s%s" % (" ".join(command), code, output, err.read()))
    with open(report) as f:
        peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", f.read()).group(1))
    if os.environ.get("BENCH_VERBOSE"):
        print("bench: %.2f s, %d KB: %s" % (seconds, peak, " ".join(command)), file=sys.stderr)
    stats.add(seconds, peak, output)


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)


def split_package(package, folder):
    """Writes each member of the package to FOLDER/<entry name>.gz.

    The layout: a 32-bit entry count, then per entry its UTF-16LE name ended
    by a zero code unit, a 32-bit stored size and that many bytes of gzip
    member; every number little-endian.
    """
    with open(package, "rb") as f:
        data = f.read()
    count, = struct.unpack_from("<I", data, 0)
    at = 4
    for _ in range(count):
        end = at
        while data[end:end + 2] != b"\0\0":
            end += 2
        name = data[at:end].decode("utf-16-le")
        size, = struct.unpack_from("<I", data, end + 2)
        at = end + 6
        path = os.path.join(folder, *name.split("\\")) + ".gz"
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data[at:at + size])
        at += size


def same_trees(a, b):
    names = {os.path.relpath(f, a) for f in files_below(a)}
    if names != {os.path.relpath(f, b) for f in files_below(b)}:
        return False
    for name in names:
        with open(os.path.join(a, name), "rb") as x, open(os.path.join(b, name), "rb") as y:
            if x.read() != y.read():
                return False
    return True


def check_installed(addins, payload, years=YEARS):
    """Each year's folder holds the common files, with the year's own over them."""
    for year in years:
        expected = {}
        for version in ("0000", str(year)):
            top = os.path.join(payload, version)
            if os.path.isdir(top):
                for f in files_below(top):
                    expected[os.path.relpath(f, top)] = f
        got = {os.path.relpath(f, os.path.join(addins, str(year))) for f in files_below(os.path.join(addins, str(year)))}
        if got != set(expected):
            sys.exit("bench: %d received %d files, %d expected" % (year, len(got), len(expected)))
        for relative, source in expected.items():
            with open(source, "rb") as a, open(os.path.join(addins, str(year), relative), "rb") as b:
                if a.read() != b.read():
                    sys.exit("bench: %d\\%s differs from its source" % (year, relative))


def first_line(command):
    try:
        return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True).stdout.splitlines()[0]
    except (OSError, IndexError):
        return "unknown"


def machine(load):
    cpu = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        memory_gb = int(f.readline().split()[1]) / 1024 / 1024
    libdeflate = "unknown"
    header = "/opt/mingw-libdeflate/x86_64-w64-mingw32/include/libdeflate.h"
    if os.path.exists(header):
        with open(header) as f:
            found = re.search(r'LIBDEFLATE_VERSION_STRING\s+"([^"]+)"', f.read())
            libdeflate = found.group(1) if found else libdeflate
    return [
        ("processor", "%s, %d cores" % (cpu, os.cpu_count())),
        ("memory", "%.0f GB" % memory_gb),
        ("load average before the runs", "%.2f" % load),
        ("system", "%s, Linux %s" % (first_line(["sh", "-c", ". /etc/os-release && echo $PRETTY_NAME"]),
                                     platform.release())),
        ("wine", first_line(["/usr/lib/wine/wine64", "--version"])),
        ("gzip", first_line(["gzip", "--version"])),
        ("libdeflate", libdeflate),
        ("compiler", first_line(["x86_64-w64-mingw32-g++-posix", "--version"])),
    ]


def main():
    global WORK, PIN
    repo, build = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else 7
    if "--one-core" in sys.argv:
        PIN = ["taskset", "-c", "0"]
    wine_run = os.path.join(build, "wine-run")
    pack_tool = os.path.join(build, "tarmesh-pack.exe")
    driver = os.path.join(build, "tarmesh-install-bench.exe")
    wine_run_x = os.path.join(build, "wine-run-x")
    setup_program = os.path.join(build, "tarmesh-setup.exe")
    peak_driver = os.path.join(build, "tarmesh-setup-peak.exe")
    for needed in (wine_run, pack_tool, driver, wine_run_x, setup_program, peak_driver):
        if not os.path.exists(needed):
            sys.exit("bench: %s is missing: build first (cmake --preset win64 && cmake --build --preset win64)"
                     % needed)
    WORK = os.path.join(build, "bench")
    payload = os.path.join(WORK, "payload")
    package = os.path.join(WORK, "tarmesh.pkg")
    addins = os.path.join(WORK, "Addins")
    gzip_tree = os.path.join(WORK, "gzip")
    package_members = os.path.join(WORK, "package-members")
    gzip_members = os.path.join(WORK, "gzip-members")
    addins_2017 = os.path.join(WORK, "Addins-2017")
    addins_embedded = os.path.join(WORK, "Addins-embedded")
    # A copy of the driver that carries the package as resource "BINARY" 129.
    embedded = os.path.join(WORK, "tarmesh-install-bench-embedded.exe")
    os.makedirs(WORK, exist_ok=True)
    # Other work on the machine spreads the figures: it is recorded with them.
    load = os.getloadavg()[0]
    subprocess.run([os.path.join(repo, "bench", "make-payload.sh"), payload], check=True)

    payload_bytes = tree_bytes(payload)
    sizes = [os.path.getsize(f) for f in files_below(payload)]
    common_bytes = tree_bytes(os.path.join(payload, "0000"))
    # What an installation for 2016 and 2017 writes: the common files twice,
    # the 2017 files once.
    installed_bytes = common_bytes * len(YEARS) + payload_bytes - common_bytes

    pack, gzip_pack, unpack, gzip_unpack = Measured(), Measured(), Measured(), Measured()
    unpack_2017, unpack_embedded = Measured(), Measured()
    # The real setup program, carrying the bench's package.
    setup_copy = os.path.join(WORK, "tarmesh-setup-bench.exe")
    resource_peak_kb = 0
    if PIN:
        # A server left running by an earlier test would keep every processor.
        subprocess.run([wine_run, "--stop"], check=True)
    subprocess.run(PIN + [wine_run, "--start"], check=True)
    try:
        for run in range(runs):
            if os.path.exists(package):
                os.remove(package)
            timed([wine_run, pack_tool, windows_path(payload, True), windows_path(package)], pack)
            if run == 0:
                shutil.rmtree(package_members, ignore_errors=True)
                split_package(package, package_members)
                shutil.copyfile(driver, embedded)
                subprocess.run([wine_run, driver, "--embed", windows_path(package), windows_path(embedded)],
                               check=True)
                shutil.copyfile(setup_program, setup_copy)
                subprocess.run([wine_run, driver, "--embed", windows_path(package), windows_path(setup_copy)],
                               check=True)

            shutil.rmtree(gzip_tree, ignore_errors=True)
            shutil.copytree(payload, gzip_tree)
            timed(["gzip", "-6", "-k", "-r", gzip_tree], gzip_pack)
            for f in list(files_below(gzip_tree)):
                if not f.endswith(".gz"):
                    os.remove(f)

            fresh(addins)
            timed([wine_run, driver, windows_path(package), windows_path(addins, True)], unpack)
            fresh(addins_2017)
            timed([wine_run, driver, windows_path(package), windows_path(addins_2017, True), "2017"], unpack_2017)
            fresh(addins_embedded)
            timed([wine_run, embedded, "--embedded", windows_path(addins_embedded, True)], unpack_embedded)

            shutil.rmtree(gzip_members, ignore_errors=True)
            shutil.copytree(package_members, gzip_members)
            timed(["gzip", "-d", "-r", gzip_members], gzip_unpack)
    finally:
        subprocess.run([wine_run, "--stop"])
    resource_peak_kb, window_install_s = setup_window_install(wine_run_x, peak_driver, setup_copy, runs)

    check_installed(addins, payload)
    check_installed(addins_2017, payload, (2017,))
    check_installed(addins_embedded, payload)
    if not same_trees(gzip_members, payload):
        sys.exit("bench: gzip -d of the package's members did not give back the payload")
    fields = dict(line.split(" ", 1) for line in unpack.output.splitlines() if " " in line)
    files_written = int(fields["files"])
    pause_s = int(fields["pause_ms"]) / 1000
    inside_s = int(fields["elapsed_ms"]) / 1000
    proof_s = int(fields["proof_ms"]) / 1000
    check_s = int(fields["check_us"]) / 1000000
    resource_peak_mb = resource_peak_kb * 1024 / MB
    # The install procedure's own time with the package read in place, as
    # the setup program holds it, and what its window adds on purpose.
    embedded_fields = dict(line.split(" ", 1) for line in unpack_embedded.output.splitlines() if " " in line)
    driver_install_s = int(embedded_fields["elapsed_ms"]) / 1000
    window_pause_s = pause_s + WINDOW_PAUSES_MS / 1000
    window_limit_s = driver_install_s + window_pause_s + 2

    package_mb = os.path.getsize(package) / MB
    gzip_mb = tree_bytes(gzip_tree) / MB
    largest_mb = max(sizes) / MB
    pack_rate = payload_bytes / MB / pack.seconds
    gzip_pack_rate = payload_bytes / MB / gzip_pack.seconds
    unpack_rate = installed_bytes / MB / unpack.seconds
    paused_rate = installed_bytes / MB / (unpack.seconds + pause_s)
    gzip_unpack_rate = payload_bytes / MB / gzip_unpack.seconds
    # 2017 alone writes the common files and then the year's over them:
    # as many files and bytes as gzip -d writes.
    unpack_2017_rate = payload_bytes / MB / unpack_2017.seconds
    embedded_rate = installed_bytes / MB / unpack_embedded.seconds
    pack_ratio = pack_rate / gzip_pack_rate
    unpack_ratio = unpack_rate / gzip_unpack_rate
    peak_limit = package_mb + 3 * largest_mb + 16

    rows = [
        ("pack: input", "%.1f MB, %d files" % (payload_bytes / MB, len(sizes)), "the same", ""),
        ("pack: time", "%.2f s" % pack.seconds, "%.2f s" % gzip_pack.seconds, ""),
        ("pack: throughput", "%.1f MB/s" % pack_rate, "%.1f MB/s" % gzip_pack_rate, "%.2f x" % pack_ratio),
        ("pack: compressed size", "%.2f MB" % package_mb, "%.2f MB" % gzip_mb, "%.3f x" % (package_mb / gzip_mb)),
        ("pack: peak memory", "%.1f MB" % pack.peak_mb, "%.1f MB" % gzip_pack.peak_mb, ""),
        ("unpack: output", "%.1f MB, %d files" % (installed_bytes / MB, files_written),
         "%.1f MB, %d files" % (payload_bytes / MB, len(sizes)), ""),
        ("unpack: time", "%.2f s (%.2f s inside the process)" % (unpack.seconds, inside_s),
         "%.2f s" % gzip_unpack.seconds, ""),
        ("unpack: throughput", "%.1f MB/s" % unpack_rate, "%.1f MB/s" % gzip_unpack_rate, "%.2f x" % unpack_ratio),
        ("unpack, 2017 alone: time", "%.2f s, %d files" % (unpack_2017.seconds, len(sizes)),
         "as above", ""),
        ("unpack, 2017 alone: throughput", "%.1f MB/s" % unpack_2017_rate, "%.1f MB/s" % gzip_unpack_rate,
         "%.2f x" % (unpack_2017_rate / gzip_unpack_rate)),
        ("unpack: peak memory", "%.1f MB" % unpack.peak_mb, "%.1f MB" % gzip_unpack.peak_mb, ""),
        ("unpack, package in the program's resource: time", "%.2f s" % unpack_embedded.seconds, "as above", ""),
        ("unpack, package in the program's resource: throughput", "%.1f MB/s" % embedded_rate,
         "%.1f MB/s" % gzip_unpack_rate, "%.2f x" % (embedded_rate / gzip_unpack_rate)),
        ("unpack, package in the program's resource: peak memory", "%.1f MB" % unpack_embedded.peak_mb, "", ""),
        ("install: the package's proof before anything is written", "%.3f s, included in the times above" %
         proof_s, "", ""),
        ("upgrade: the look for held files before anything is touched", "%.4f s (%d files)" %
         (check_s, files_written), "", ""),
        ("the setup program, package in its resource: peak memory", "%.1f MB" % resource_peak_mb, "", ""),
        ("installer's fixed pause", "+ %.2f s (%d files x %d ms), not in the times above" %
         (pause_s, files_written, PAUSE_MS_PER_LINE), "", ""),
        ("unpack: throughput with the pause", "%.1f MB/s" % paused_rate, "%.1f MB/s" % gzip_unpack_rate,
         "%.2f x" % (paused_rate / gzip_unpack_rate)),
        ("the setup program: from pressing Install to \"Installation complete\"",
         "%.2f s (the same install in the driver: %.2f s inside the process; pauses %.2f s)" %
         (window_install_s, driver_install_s, window_pause_s), "", ""),
    ]
    verdicts = [
        ("pack >= 1.6 x gzip -6 at a size no larger", pack_ratio >= 1.6 and package_mb <= gzip_mb,
         "%.2f x, %.2f MB against %.2f MB" % (pack_ratio, package_mb, gzip_mb)),
        ("unpack >= 1.0 x gzip -d", unpack_ratio >= 1.0, "%.2f x" % unpack_ratio),
        ("install peak <= package + 3 x largest + 16 MB", unpack.peak_mb <= peak_limit,
         "%.1f MB against %.1f MB" % (unpack.peak_mb, peak_limit)),
        ("the same, package in the program's resource", unpack_embedded.peak_mb <= peak_limit,
         "%.1f MB against %.1f MB" % (unpack_embedded.peak_mb, peak_limit)),
        ("the same, the real setup program", resource_peak_mb <= peak_limit,
         "%.1f MB against %.1f MB" % (resource_peak_mb, peak_limit)),
        ("the package's proof <= 0.25 s", proof_s <= 0.25, "%.3f s" % proof_s),
        ("the look for held files <= 0.05 s", check_s <= 0.05, "%.4f s" % check_s),
        ("install through the window <= driver + pauses + 2 s", window_install_s <= window_limit_s,
         "%.2f s against %.2f s" % (window_install_s, window_limit_s)),
    ]
    table = ["| | tarmesh | gzip | tarmesh / gzip |", "|---|---|---|---|"]
    table += ["| %s | %s | %s | %s |" % row for row in rows]
    lines = ["pack_vs_gzip6 %.2f" % pack_ratio, "unpack_vs_gzip %.2f" % unpack_ratio,
             "peak_mb %.1f package_mb %.1f largest_mb %.1f" % (unpack.peak_mb, package_mb, largest_mb),
             "resource_peak_mb %.1f package_mb %.1f largest_mb %.1f" % (resource_peak_mb, package_mb, largest_mb),
             "proof_s %.3f" % proof_s, "check_s %.4f" % check_s,
             "window_install_s %.2f driver_install_s %.2f pause_s %.2f" %
             (window_install_s, driver_install_s, window_pause_s)]

    print("\n".join(table))
    print()
    for name, met, figures in verdicts:
        print("%-48s %s (%s)" % (name, "met" if met else "MISSED", figures))
    print()
    print("\n".join(lines))

    figures = [BEGIN, "",
               "Run of %s, best of %d runs (peak memory: the highest), warm cache%s." %
               (time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()), runs,
                ", everything on one processor" if PIN else ""), ""]
    figures += table + ["", "| target | result | figures |", "|---|---|---|"]
    figures += ["| %s | %s | %s |" % (name, "met" if met else "missed", text) for name, met, text in verdicts]
    figures += ["", "The lines for scripts:", "", "```"] + lines + ["```", "", "| machine | |", "|---|---|"]
    figures += ["| %s | %s |" % item for item in machine(load)] + ["", END]
    write_figures(os.path.join(repo, "docs", "benchmarks.md"), figures)


def setup_window_install(wine_run_x, peak_driver, setup_copy, runs):
    """The setup program's install through its window: the highest peak in
    KB, and the shortest time from pressing Install until "Installation
    complete" shows, in seconds.

    Runs in a Wine prefix of the bench's own, with its own virtual display,
    so that the tests' prefixes are not touched.
    """
    environment = dict(os.environ, TARMESH_WINEPREFIX=os.path.join(WORK, "prefix-x"))
    peak = 0
    install_s = None
    try:
        for _ in range(runs):
            done = subprocess.run([wine_run_x, peak_driver, windows_path(setup_copy)], env=environment,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  text=True, timeout=300)
            found = re.search(r"peak_kb (\d+)", done.stdout)
            timed_ms = re.search(r"install_ms (\d+)", done.stdout)
            if done.returncode != 0 or not found or not timed_ms:
                sys.exit("bench: the setup program's install failed (%d):\n%s%s" %
                         (done.returncode, done.stdout, done.stderr))
            if os.environ.get("BENCH_VERBOSE"):
                print("bench: setup program peak %s KB, install %s ms" % (found.group(1), timed_ms.group(1)),
                      file=sys.stderr)
            peak = max(peak, int(found.group(1)))
            seconds = int(timed_ms.group(1)) / 1000
            install_s = seconds if install_s is None else min(install_s, seconds)
    finally:
        subprocess.run([wine_run_x, "--stop"], env=environment)
    return peak, install_s


def write_figures(path, figures):
    text = "\n".join(figures) + "\n"
    if os.path.exists(path):
        with open(path) as f:
            old = f.read()
        if BEGIN in old and END in old:
            text = old[:old.index(BEGIN)] + text.rstrip("\n") + old[old.index(END) + len(END):]
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
