#!/usr/bin/env python3
"""The statistic reaches the host name built into the program.

  statistic_namespace.py WINE_RUN PROBE WINE_PREFIX reaches|silent
  statistic_namespace.py WINE_RUN_X END_TO_END_TESTS WINE_PREFIX_X setup

Runs in a network and mount namespace of its own (unshare), where loopback
is the only network, a hosts file mounted over /etc/hosts sends the
statistics host to 127.0.0.1, and servers with a certificate for that host
listen on ports 443 and 80. Wine needs a server process of its own in the
namespace, because its server makes the sockets: the test's Wine prefix is
therefore mounted as the lower layer of an overlay, and Wine runs on the
overlay, which also takes the registry changes and vanishes afterwards.

  reaches  install (Windows 10.0) and uninstall (6.3) arrive as the
           statistics server expects them; port 0 of plain HTTP is 80
  silent   a server that accepts and never answers ends the report with the
           warning of a failed answer, within the statistic's own limits
  setup    the real setup program, installing through its window and then
           uninstalling, reports both events (the end-to-end test program
           drives it); so does its unattended install and uninstall, run
           with no display

Exits with 77 (skipped) when namespaces cannot be made here.
"""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import web_server  # noqa: E402

HOST = "stats.ostrel.com"
VERSION_KEY = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion"
RECEIVE_FAILED = b"WARN> Network::WebService WinHttpReceiveResponse==FALSE\r\n"
failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


class Namespace:
    """The network, hosts file and Wine prefix of the inside run."""

    def __init__(self, wine_run, probe, prefix, folder):
        self.wine_run, self.probe, self.folder = wine_run, probe, folder
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
        hosts = os.path.join(folder, "hosts")
        with open(hosts, "w") as f:
            f.write("127.0.0.1 localhost\n127.0.0.1 %s\n" % HOST)
        subprocess.run(["mount", "--bind", hosts, "/etc/hosts"], check=True)
        self.prefix = os.path.join(folder, "prefix")
        layers = [os.path.join(folder, name) for name in ("upper", "work")]
        for path in layers + [self.prefix]:
            os.mkdir(path)
        subprocess.run(["mount", "-t", "overlay", "overlay", "-o", "lowerdir=%s,upperdir=%s,workdir=%s" %
                        (prefix, layers[0], layers[1]), self.prefix], check=True)
        self.environment = dict(os.environ, TARMESH_WINEPREFIX=self.prefix)

    def wine(self, *arguments, timeout=240, environment=None, runner=None):
        return subprocess.run([runner or self.wine_run] + list(arguments), env=dict(self.environment, **(environment or {})),
                              stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)

    def set_version(self, major, minor):
        # Windows keeps the version in both registry views; a 32-bit program reads the 32-bit one.
        for name, value in (("CurrentMajorVersionNumber", major), ("CurrentMinorVersionNumber", minor)):
            for view in ("/reg:64", "/reg:32"):
                done = self.wine("reg", "add", VERSION_KEY, "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f", view)
                if done.returncode != 0:
                    raise RuntimeError("reg add %s %s: exit %d" % (name, view, done.returncode))

    def stop(self):
        # Ends the overlay's server, its programs and, for a window runner, its display.
        subprocess.run([self.wine_run, "--stop"], env=self.environment, stderr=subprocess.DEVNULL)
        time.sleep(0.5)
        subprocess.run(["umount", self.prefix])


def check_report(seen, event, version):
    request_line, headers, body = seen
    check(request_line.startswith(b"POST /api/statistic/tarmesh/%s HTTP/1." % event.encode()),
          "%s: request line %r" % (event, request_line))
    check(headers.get("user-agent") == "Ostrel/1.0 (Windows NT %s)" % version,
          "%s: user agent %r" % (event, headers.get("user-agent")))
    names = list(headers)
    check(headers.get("content-type") == "application/x-www-form-urlencoded",
          "%s: content type %r" % (event, headers.get("content-type")))
    check(headers.get("x-tarmesh-token") == "7K4418HdvPqm", "%s: token %r" % (event, headers.get("x-tarmesh-token")))
    check("content-type" in names and "x-tarmesh-token" in names and
          names.index("content-type") < names.index("x-tarmesh-token"), "%s: header order %r" % (event, names))
    check("cookie" not in names, "%s: a cookie header" % event)
    check(headers.get("content-length") == "13" and body == b"version=1.0.0",
          "%s: body %r, length %r" % (event, body, headers.get("content-length")))
    check(headers.get("host") == HOST, "%s: host %r" % (event, headers.get("host")))


def read_seen(records, n):
    with open(os.path.join(records, "request-%d" % n), "rb") as f:
        raw = f.read()
    head, _, body = raw.partition(b"\r\n\r\n")
    lines = head.split(b"\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.decode("latin-1").partition(": ")
        headers.setdefault(name.lower(), value)
    return lines[0], headers, body


def reaches(space):
    records = os.path.join(space.folder, "records")
    os.mkdir(records)
    recorder = web_server.Recorder(records)
    certificate = web_server.make_certificate(space.folder, HOST)
    servers = [web_server.WebServer(("127.0.0.1", 443), recorder, certificate).start(),
               web_server.WebServer(("127.0.0.1", 80), recorder).start()]
    try:
        for n, (event, major, minor) in enumerate((("install", 10, 0), ("uninstall", 6, 3)), 1):
            space.set_version(major, minor)
            done = space.wine(space.probe, "send", event)
            check(done.returncode == 0 and done.stdout == b"", "send %s: exit %d, %r" %
                  (event, done.returncode, done.stdout))
            if os.path.exists(os.path.join(records, "request-%d" % n)):
                check_report(read_seen(records, n), event, "%d.%d" % (major, minor))
            else:
                check(False, "send %s: the server saw no request" % event)
        done = space.wine(space.probe, "plain")
        check(done.stdout == b"result=1\r\n", "plain: %r" % done.stdout)
        check(os.path.exists(os.path.join(records, "request-3")) and
              read_seen(records, 3)[0].startswith(b"GET /plain "), "plain: not seen on port 80")
    finally:
        for server in servers:
            server.stop()


def silent(space):
    listener = web_server.RawListener(("127.0.0.1", 443), False).start()
    try:
        space.set_version(10, 0)
        # Far below the client's six hours; the test's own time-out is the bound.
        done = space.wine(space.probe, "send", "install", timeout=200)
        check(done.returncode == 0 and done.stdout == RECEIVE_FAILED, "exit %d, %r" % (done.returncode, done.stdout))
        check(len(listener.held) >= 1, "the silent server saw no connection")
    finally:
        listener.stop()


def setup(space):
    records = os.path.join(space.folder, "records")
    os.mkdir(records)
    recorder = web_server.Recorder(records)
    certificate = web_server.make_certificate(space.folder, HOST)
    server = web_server.WebServer(("127.0.0.1", 443), recorder, certificate).start()
    try:
        space.set_version(10, 0)
        done = space.wine(space.probe, "--gtest_filter=Installer.ReportsInstallAndUninstallToTheStatisticsServer",
                          environment={"TARMESH_STATISTIC_SERVER": "1"})
        check(done.returncode == 0 and b"[  PASSED  ] 1 test" in done.stdout,
              "the end-to-end run: exit %d\n%s" % (done.returncode, done.stdout.decode("utf-8", "replace")))
        # Unattended, with no display at all: the window-less runner on the
        # same prefix.
        done = space.wine(space.probe, "--gtest_filter=Installer.QuietRunsNeedNoDesktopAndTellByExitCodeAndLog",
                          runner=os.path.join(os.path.dirname(space.wine_run), "wine-run"))
        check(done.returncode == 0 and b"[  PASSED  ] 1 test" in done.stdout,
              "the quiet run: exit %d\n%s" % (done.returncode, done.stdout.decode("utf-8", "replace")))
        for n, event in enumerate(("install", "uninstall", "install", "uninstall"), 1):
            if os.path.exists(os.path.join(records, "request-%d" % n)):
                check_report(read_seen(records, n), event, "10.0")
            else:
                check(False, "%s %d: the server saw no request" % (event, n))
    finally:
        server.stop()


def inside(wine_run, probe, prefix, case):
    with tempfile.TemporaryDirectory(prefix="tarmesh-statistic-") as folder:
        space = Namespace(wine_run, probe, prefix, folder)
        try:
            {"reaches": reaches, "silent": silent, "setup": setup}[case](space)
        finally:
            space.stop()
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


def main():
    if sys.argv[1] == "--inside":
        return inside(*sys.argv[2:6])
    if os.geteuid() != 0 or subprocess.run(["unshare", "--net", "--mount", "true"]).returncode != 0:
        print("namespaces cannot be made here")
        return 77
    return subprocess.run(["unshare", "--net", "--mount", sys.executable, os.path.abspath(__file__), "--inside"] +
                          sys.argv[1:5]).returncode


if __name__ == "__main__":
    sys.exit(main())
