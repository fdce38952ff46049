#!/usr/bin/env python3
"""Loopback web servers for the web service client's tests.

  web_server.py WINE_RUN PROGRAM [ARGS...]

Starts the servers, runs the Windows PROGRAM under WINE_RUN with
TARMESH_TEST_SERVER in its environment, stops the servers and exits with
the program's exit code. TARMESH_TEST_SERVER holds "name=value" pairs
separated by ";":

  https      HTTPS with a self-signed certificate made now for "localhost"
  http       plain HTTP
  wrongname  HTTPS with a self-signed certificate for another host name
  close      accepts each connection and closes it at once
  silent     accepts each connection and never answers
  refused    a port that nothing listens on
  records    Windows path of the folder that receives one file per request,
             request-1, request-2, ...: the request line, the header lines
             in the order received, a blank line and the body's bytes

The answer of the HTTP servers follows the query of the request target:
  status=N     status code N (200 otherwise)
  size=N       a body of N bytes "0123456789" repeated
  split=1      a UTF-8 body sent in two pieces that cut a character
  truncated=1  announces 100000 bytes, sends 10 and ends the connection
  hold=1       never answers (until the servers stop)
  trickle=1    announces 100000 bytes and sends one a second
  flood=1      announces no length and sends without end, as fast as
               the client takes it
Otherwise the body is "answer to " and the request target. Every answer
carries the header "X-Probe: yes".

The module is also used by statistic_namespace.py.
"""

import http.server
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

SPLIT_BODY = "Grüße, 東京".encode("utf-8")
# Cuts the second byte of "東" from the first.
SPLIT_AT = SPLIT_BODY.index("東".encode("utf-8")) + 1


def make_certificate(folder, host):
    """A self-signed certificate and key for the host; returns their paths."""
    cert, key = os.path.join(folder, host + ".crt"), os.path.join(folder, host + ".key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=" + host, "-addext", "subjectAltName=DNS:" + host,
                    "-keyout", key, "-out", cert], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


class Recorder:
    """Writes each request seen by any server into its own numbered file."""

    def __init__(self, folder):
        self.folder, self.count, self.lock = folder, 0, threading.Lock()

    def record(self, request_line, headers, body):
        with self.lock:
            self.count += 1
            path = os.path.join(self.folder, "request-%d" % self.count)
        lines = [request_line] + ["%s: %s" % pair for pair in headers] + ["", ""]
        with open(path, "wb") as f:
            f.write("\r\n".join(lines).encode("latin-1") + body)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *arguments):
        pass

    def answer(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length) if length > 0 else b""
        self.server.recorder.record(self.requestline, self.headers.items(), body)
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
        option = lambda name: query.get(name, [None])[0]
        if option("hold"):
            self.server.stopping.wait()
            return
        if option("trickle"):
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            while not self.server.stopping.wait(1.0):
                self.wfile.write(b"7")
                self.wfile.flush()
            return
        if option("flood"):
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            block = b"0123456789" * 6554
            while not self.server.stopping.is_set():
                self.wfile.write(block)
            return
        if option("truncated"):
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"0123456789")
            self.wfile.flush()
            self.close_abruptly()
            return
        if option("split"):
            answer = SPLIT_BODY
        elif option("size"):
            answer = (b"0123456789" * (int(option("size")) // 10 + 1))[:int(option("size"))]
        else:
            answer = b"answer to " + self.path.encode("latin-1")
        self.send_response(int(option("status") or 200))
        self.send_header("X-Probe", "yes")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        if option("split"):
            self.wfile.write(answer[:SPLIT_AT])
            self.wfile.flush()
            time.sleep(0.5)
            answer = answer[SPLIT_AT:]
        self.wfile.write(answer)

    def close_abruptly(self):
        """Ends the connection without a TLS close; the ten bytes always arrive first."""
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.close_connection = True

    do_GET = do_POST = do_PUT = do_DELETE = do_PATCH = answer


class WebServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # clients that give up early are part of the tests

    def __init__(self, address, recorder, certificate=None):
        super().__init__(address, Handler)
        self.recorder = recorder
        self.stopping = threading.Event()
        if certificate:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*certificate)
            self.socket = context.wrap_socket(self.socket, server_side=True)

    def start(self):
        threading.Thread(target=self.serve_forever, daemon=True).start()
        return self

    def stop(self):
        self.stopping.set()
        self.shutdown()
        self.server_close()


class RawListener:
    """Accepts connections and either closes them at once or keeps them silent."""

    def __init__(self, address, close_at_once):
        self.socket = socket.create_server(address)
        self.close_at_once, self.held, self.running = close_at_once, [], True

    def start(self):
        threading.Thread(target=self.serve, daemon=True).start()
        return self

    def serve(self):
        while self.running:
            try:
                connection, _ = self.socket.accept()
            except OSError:
                return
            if self.close_at_once:
                connection.close()
            else:
                self.held.append(connection)

    def stop(self):
        self.running = False
        self.socket.close()
        for connection in self.held:
            connection.close()


def free_port():
    with socket.create_server(("127.0.0.1", 0)) as s:
        return s.getsockname()[1]


def port_of(server):
    return (server.server_address if hasattr(server, "server_address") else server.socket.getsockname())[1]


def windows_path(path):
    return "Z:" + path.replace("/", "\\") + "\\"


def main():
    with tempfile.TemporaryDirectory(prefix="tarmesh-web-") as folder:
        records = os.path.join(folder, "records")
        os.mkdir(records)
        recorder = Recorder(records)
        loopback = ("127.0.0.1", 0)
        servers = {
            "https": WebServer(loopback, recorder, make_certificate(folder, "localhost")),
            "http": WebServer(loopback, recorder),
            "wrongname": WebServer(loopback, recorder, make_certificate(folder, "elsewhere.invalid")),
            "close": RawListener(loopback, True),
            "silent": RawListener(loopback, False),
        }
        for server in servers.values():
            server.start()
        pairs = ["%s=%d" % (name, port_of(server)) for name, server in servers.items()]
        pairs += ["refused=%d" % free_port(), "records=" + windows_path(records)]
        environment = dict(os.environ, TARMESH_TEST_SERVER=";".join(pairs))
        try:
            done = subprocess.run(sys.argv[1:], env=environment, stdin=subprocess.DEVNULL)
        finally:
            for server in servers.values():
                server.stop()
        return done.returncode


if __name__ == "__main__":
    sys.exit(main())
