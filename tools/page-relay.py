#!/usr/bin/env python3
"""Serves the page to an ordinary browser and relays its commands to varenko-cmd.exe.

The page's files are served under the same addresses the program's own page handler answers
(/varenko/UI for the page, /varenko/<name> and /varenko/UI/<name> for the files beside it), and
POST /varenko/command hands the request body, one JSON text, to one long-lived varenko-cmd.exe
under Wine and answers with the line it writes: {"hr":N,"answer":"..."}. ui/standin.js turns that
into window.external.JsonCommand, so the page runs unchanged outside the program's window.

Usage: page-relay.py [PORT] [--exe PATH] [--ui DIR]   (PORT 0, the default, picks a free one)
Binds to 127.0.0.1 only.
"""

import argparse
import http.server
import os
import re
import signal
import subprocess
import sys
import threading

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The same table as the program's page handler, extensions in any letter case; anything else goes
# out as octet-stream.
MIME_TYPES = [
    (".html", "text/html"),
    (".js", "application/javascript"),
    (".css", "text/css"),
    (".svg", "image/svg+xml"),
    (".png", "image/png"),
    (".ico", "image/x-icon"),
    (".json", "application/json"),
]

PLAIN_SEGMENT = re.compile(r"[A-Za-z0-9._-]+")
PREFIX = "/varenko/"


def page_file_for_path(path):
    """The page file an address path asks for, or None: the program's own mapping."""
    if path[: len(PREFIX)].lower() != PREFIX:
        return None
    name = path[len(PREFIX) :]
    name = re.split(r"[?#]", name, maxsplit=1)[0]
    if name.upper() in ("UI", "UI/"):
        return "index.html"
    if name[:3].upper() == "UI/":
        name = name[3:]
    if not name:
        return None
    for segment in name.split("/"):
        if segment in ("", ".", "..") or not PLAIN_SEGMENT.fullmatch(segment):
            return None
    return name


def mime_type_for(name):
    for extension, mime in MIME_TYPES:
        if name.lower().endswith(extension):
            return mime
    return "application/octet-stream"


class CommandEngine:
    """One varenko-cmd.exe under Wine; one request at a time, one answer line per request."""

    def __init__(self, exe, env):
        self.exe = exe
        self.env = env
        self.lock = threading.Lock()
        self.process = None
        self.start()

    def start(self):
        self.process = subprocess.Popen(
            ["wine", self.exe],
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            env=self.env,
            cwd=ROOT,
        )

    def stop(self):
        with self.lock:
            if self.process and self.process.poll() is None:
                try:
                    self.process.stdin.close()
                except OSError:
                    pass
                try:
                    self.process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self.process.kill()
                    self.process.wait()

    def run(self, request):
        """The engine's output line for one request text, or None when the engine died."""
        with self.lock:
            try:
                self.process.stdin.write(request.encode("utf-8") + b"\n")
                self.process.stdin.flush()
                while True:
                    line = self.process.stdout.readline()
                    if not line:
                        break
                    line = line.rstrip(b"\r\n")
                    # Wine may print lines of its own on the way; the engine's start with {"hr":.
                    if line.startswith(b'{"hr":'):
                        return line
            except OSError:
                pass
            # The engine is gone: start a fresh one for the next request, report this one failed.
            if self.process.poll() is None:
                self.process.kill()
            self.process.wait()
            sys.stderr.write("varenko-cmd ended (code %s); starting it again\n" % self.process.returncode)
            self.start()
            return None


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "VarenkoRelay"
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("%s\n" % (fmt % args))

    def send_body(self, status, mime, body, head_only=False):
        self.send_response(status)
        self.send_header("Content-Type", mime)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if not head_only:
            self.wfile.write(body)

    def send_error_text(self, status, text):
        self.send_body(status, "text/plain; charset=utf-8", (text + "\n").encode("utf-8"))

    def serve_page_file(self, head_only):
        name = page_file_for_path(self.path)
        if name is None:
            self.send_error_text(404, "not found")
            return
        path = os.path.join(self.server.ui_dir, *name.split("/"))
        try:
            with open(path, "rb") as f:
                body = f.read()
        except OSError:
            self.send_error_text(404, "not found")
            return
        self.send_body(200, mime_type_for(name), body, head_only)

    def is_own_page_request(self):
        """Commands edit the user's files, so only the page served here may send them: any other
        site the user has open could otherwise post to this port. A cross-site request cannot carry
        the stand-in's own header without a preflight this server never grants, and the Host and
        Origin checks turn away pages that reach the port under another name."""
        if self.headers.get("X-Varenko-Command") != "1":
            return False
        port = self.server.server_address[1]
        own_hosts = ("127.0.0.1:%d" % port, "localhost:%d" % port)
        if self.headers.get("Host") not in own_hosts:
            return False
        origin = self.headers.get("Origin")
        return origin is None or origin in ["http://" + host for host in own_hosts]

    def do_GET(self):
        self.serve_page_file(False)

    def do_HEAD(self):
        self.serve_page_file(True)

    def do_POST(self):
        length = self.headers.get("Content-Length")
        if self.path != PREFIX + "command":
            # Drain what was sent so the connection stays usable.
            if length and length.isdigit():
                self.rfile.read(int(length))
            self.send_error_text(404, "not found")
            return
        if not self.is_own_page_request():
            if length and length.isdigit():
                self.rfile.read(int(length))
            self.send_error_text(403, "commands are taken only from the page itself")
            return
        if length is None or not length.isdigit():
            self.send_error_text(411, "length required")
            return
        body = self.rfile.read(int(length))
        try:
            request = body.decode("utf-8")
        except UnicodeDecodeError:
            self.send_error_text(400, "the request is not UTF-8 text")
            return
        # The engine reads one request per line; JSON.stringify never writes a raw line break.
        if "\n" in request or "\r" in request:
            self.send_error_text(400, "the request holds a line break")
            return
        line = self.server.engine.run(request)
        if line is None:
            self.send_error_text(502, "varenko-cmd ended; started again")
            return
        self.send_body(200, "application/json; charset=utf-8", line)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def main():
    parser = argparse.ArgumentParser(description="Serves the Varenko page and relays its commands.")
    parser.add_argument("port", nargs="?", type=int, default=0, help="port on 127.0.0.1 (0: any free one)")
    parser.add_argument("--exe", default=os.path.join(ROOT, "build", "bin", "varenko-cmd.exe"))
    parser.add_argument("--ui", default=os.path.join(ROOT, "ui"))
    parser.add_argument("--verbose", action="store_true", help="log every request to stderr")
    args = parser.parse_args()

    if not os.path.isfile(args.exe):
        sys.exit("no such program: %s" % args.exe)
    if not os.path.isdir(args.ui):
        sys.exit("no such folder: %s" % args.ui)

    env = dict(os.environ)
    env.setdefault("WINEPREFIX", os.path.join(ROOT, "build", "wineprefix"))
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")

    engine = CommandEngine(os.path.abspath(args.exe), env)
    server = Server(("127.0.0.1", args.port), Handler)
    server.engine = engine
    server.ui_dir = os.path.abspath(args.ui)
    server.verbose = args.verbose
    # A plain kill ends the relay as Ctrl+C does, so the engine is closed either way.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(0))
    print("Varenko page at http://127.0.0.1:%d/varenko/UI" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except (KeyboardInterrupt, SystemExit):
        pass
    finally:
        server.server_close()
        engine.stop()


if __name__ == "__main__":
    main()
