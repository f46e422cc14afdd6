#!/usr/bin/env python3
"""Serves the page to an ordinary browser and relays its commands to varenko-cmd.exe.

The page's files are served under the same addresses the program's own page handler answers
(/varenko/UI for the page, /varenko/<name> and /varenko/UI/<name> for the files beside it), and
POST /varenko/command hands the request body, one JSON text, to one long-lived varenko-cmd.exe
under Wine and answers with the line it writes: {"hr":N,"answer":"..."}. ui/standin.js turns that
into window.external.JsonCommand, so the page runs unchanged outside the program's window.

Commands change the user's files with the user's rights, so they are taken only from the page
this relay printed the address of. That address carries a random token of this run in its
fragment (#token=...), which the browser never sends to a server and which the relay tells
nobody else; the stand-in reads it from its page's address and sends it with every command. The
page files themselves are public and carry no secret: a token put into a file the relay serves to
anyone would be anyone's. A command without the token is refused before its body is read.

Every command has a time limit: a command that does not answer in time (a stopped engine, a
provider that never returns) gets 504, and the engine is started afresh for the next one.

The page makes one synchronous call per command, often hundreds in a row, so each costs what one
round trip costs: every answer goes out in one send, with Nagle's algorithm off, on a connection
that stays open. Sent as two small writes, an answer waited for the browser's delayed ACK of the
first (some 40 ms a call).

Arguments after "--" go on the engine's command line, where the page finds them with "getcmdline"
as it finds the files the program was started with. Each one that names an existing file or folder
here is given as the path the engine sees under Wine, so `page-relay.py -- photos/*.jpg` works as
the program's own command line does.

Usage: page-relay.py [PORT] [--exe PATH] [--ui DIR] [--timeout S] [-- ARGS...]   (PORT 0, the
default, picks a free one). Binds to 127.0.0.1 only.
"""

import argparse
import hmac
import http.server
import os
import re
import secrets
import select
import signal
import socket
import subprocess
import sys
import threading
import time

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

# The header that carries the token; a cross-site page cannot send it without a preflight, which
# this server never grants.
TOKEN_HEADER = "X-Varenko-Command"
# A request's body: far above any the page sends (property lists, a few tags), far below what
# would strain the relay or the engine.
MAX_BODY = 16 * 1024 * 1024
CONTENT_LENGTH = re.compile(r"[0-9]{1,20}")
# No site may show the page in a frame and click through it.
FRAMING_HEADERS = [("X-Frame-Options", "DENY"), ("Content-Security-Policy", "frame-ancestors 'none'")]

# How long a command may wait for the engine to be free on top of the time limit of the command
# ahead of it: room for that engine to be started again (Wine's first start is slow).
START_GRACE = 30

# What a command's run can end in besides an answer line.
ENGINE_DIED = "died"
ENGINE_TIMED_OUT = "timed out"
ENGINE_BUSY = "busy"


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


def engine_path(arg):
    """An argument as the engine under Wine should see it: an existing file or folder as its
    absolute path on drive Z: (Wine's view of the root), as `winepath -w` gives it; anything else
    as it is. Worked out here rather than by winepath, which would start Wine once per argument."""
    if not os.path.exists(arg):
        return arg
    path = os.path.abspath(arg)
    # winepath keeps a trailing separator; abspath drops it.
    if arg.endswith("/") and path != "/":
        path += "/"
    return "Z:" + path.replace("/", "\\")


def mime_type_for(name):
    for extension, mime in MIME_TYPES:
        if name.lower().endswith(extension):
            return mime
    return "application/octet-stream"


class CommandEngine:
    """One varenko-cmd.exe (under Wine unless native); one request at a time, one answer line per
    request, each within a time limit."""

    def __init__(self, command, env):
        self.command = command
        self.env = env
        self.lock = threading.Lock()
        self.process = None
        self.pending = bytearray()
        self.start()

    def start(self):
        # Unbuffered pipes: the relay reads and writes their descriptors itself, with time limits.
        self.process = subprocess.Popen(
            self.command,
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            env=self.env,
            cwd=ROOT,
            bufsize=0,
        )
        os.set_blocking(self.process.stdin.fileno(), False)
        self.pending = bytearray()

    def restart(self, why):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        sys.stderr.write("varenko-cmd %s (code %s); starting it again\n" % (why, self.process.returncode))
        self.start()

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

    def write(self, data, deadline):
        """False when the time ran out; raises OSError when the engine is gone."""
        fd = self.process.stdin.fileno()
        while data:
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([], [fd], [], remaining)[1]:
                return False
            try:
                data = data[os.write(fd, data) :]
            except BlockingIOError:
                pass
        return True

    def read_line(self, deadline):
        """The engine's next answer line; None when the time ran out; raises EOFError at its end."""
        fd = self.process.stdout.fileno()
        scanned = 0
        while True:
            end = self.pending.find(b"\n", scanned)
            if end >= 0:
                line = bytes(self.pending[:end]).rstrip(b"\r")
                del self.pending[: end + 1]
                scanned = 0
                # Wine may print lines of its own on the way; the engine's start with {"hr":.
                if line.startswith(b'{"hr":'):
                    return line
                continue
            # An answer may run to many megabytes: only what arrives is searched, and it is added
            # in place.
            scanned = len(self.pending)
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([fd], [], [], remaining)[0]:
                return None
            chunk = os.read(fd, 1 << 20)
            if not chunk:
                raise EOFError
            self.pending += chunk

    def run(self, request, limit):
        """The engine's output line for one request text, or ENGINE_DIED, ENGINE_TIMED_OUT or
        ENGINE_BUSY. The limit counts from when the engine is this command's; the wait for it is
        bounded by the limit of the command ahead and the time a fresh engine takes to start."""
        if not self.lock.acquire(timeout=limit + START_GRACE):
            return ENGINE_BUSY
        deadline = time.monotonic() + limit
        try:
            try:
                line = None
                if self.write(request.encode("utf-8") + b"\n", deadline):
                    line = self.read_line(deadline)
            except (OSError, EOFError):
                # The engine is gone: start a fresh one for the next request, report this one failed.
                self.restart("ended")
                return ENGINE_DIED
            if line is None:
                # A hung engine would hold every later command: it goes, and a fresh one serves them.
                self.restart("did not answer in %g s" % limit)
                return ENGINE_TIMED_OUT
            return line
        finally:
            self.lock.release()


class AnswerWriter:
    """The handler's output stream: what the handler writes for one answer (status line, headers,
    body) is gathered and goes out in one send when the answer is complete."""

    def __init__(self, connection):
        self.connection = connection
        self.pending = bytearray()
        self.closed = False

    def write(self, data):
        self.pending += data
        return len(data)

    def flush(self):
        if self.pending:
            data, self.pending = self.pending, bytearray()
            self.connection.sendall(data)

    def close(self):
        self.closed = True


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "VarenkoRelay"
    protocol_version = "HTTP/1.1"

    def setup(self):
        # A read that waits longer than this ends the connection: a client that sends nothing
        # cannot hold one of the relay's few connection threads for ever.
        self.timeout = self.server.read_timeout
        super().setup()
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.wfile = AnswerWriter(self.connection)

    def handle_one_request(self):
        # The base class flushes after a served request but not after the errors it answers
        # itself; each answer is sent as soon as it is complete either way.
        try:
            super().handle_one_request()
        finally:
            self.wfile.flush()

    def handle_expect_100(self):
        # "100 Continue" must reach the client before it sends the body the relay then reads.
        answer = super().handle_expect_100()
        self.wfile.flush()
        return answer

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("%s\n" % (fmt % args))

    def end_headers(self):
        # Every answer, the server's own error pages included.
        for name, value in FRAMING_HEADERS:
            self.send_header(name, value)
        super().end_headers()

    def send_body(self, status, mime, body, head_only=False):
        self.send_response(status)
        self.send_header("Content-Type", mime)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        if self.close_connection:
            self.send_header("Connection", "close")
        self.end_headers()
        if not head_only:
            self.wfile.write(body)

    def send_error_text(self, status, text):
        self.send_body(status, "text/plain; charset=utf-8", (text + "\n").encode("utf-8"))

    def refuse(self, status, text):
        """Answers without reading the request's body; what is left of it would be taken for the
        next request, so the connection ends here."""
        self.close_connection = True
        self.send_error_text(status, text)

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
        """Commands edit the user's files, so only the page whose address this relay printed may
        send them: not another local user's process, nor any other site the user has open. The
        token is this run's secret; the Host and Origin checks also turn away pages that reach the
        port under another name."""
        given = self.headers.get(TOKEN_HEADER)
        if given is None or not hmac.compare_digest(
            given.encode("utf-8", "replace"), self.server.token.encode("utf-8")
        ):
            return False
        port = self.server.server_address[1]
        own_hosts = ("127.0.0.1:%d" % port, "localhost:%d" % port)
        if self.headers.get("Host") not in own_hosts:
            return False
        origin = self.headers.get("Origin")
        return origin is None or origin in ["http://" + host for host in own_hosts]

    def body_length(self):
        """The length of the body to read, or None once the request has been refused."""
        if self.headers.get("Transfer-Encoding") is not None:
            self.refuse(411, "send the body with a Content-Length")
            return None
        lengths = self.headers.get_all("Content-Length") or []
        if not lengths:
            self.refuse(411, "length required")
            return None
        # ASCII digits only: int() would also take signs, blanks, underscores and other scripts' digits.
        if len(lengths) > 1 or not CONTENT_LENGTH.fullmatch(lengths[0]):
            self.refuse(400, "bad Content-Length")
            return None
        length = int(lengths[0])
        if length > MAX_BODY:
            self.refuse(413, "the request is larger than %d bytes" % MAX_BODY)
            return None
        return length

    def do_GET(self):
        self.serve_page_file(False)

    def do_HEAD(self):
        self.serve_page_file(True)

    def do_POST(self):
        if self.path != PREFIX + "command":
            self.refuse(404, "not found")
            return
        if not self.is_own_page_request():
            self.refuse(403, "commands are taken only from the page this relay serves")
            return
        length = self.body_length()
        if length is None:
            return
        body = self.rfile.read(length)
        if len(body) < length:
            self.close_connection = True
            return
        try:
            request = body.decode("utf-8")
        except UnicodeDecodeError:
            self.send_error_text(400, "the request is not UTF-8 text")
            return
        # The engine reads one request per line; JSON.stringify never writes a raw line break.
        if "\n" in request or "\r" in request:
            self.send_error_text(400, "the request holds a line break")
            return
        line = self.server.engine.run(request, self.server.command_timeout)
        if line == ENGINE_DIED:
            self.send_error_text(502, "varenko-cmd ended; started again")
        elif line == ENGINE_TIMED_OUT:
            self.send_error_text(504, "varenko-cmd did not answer in time; started again")
        elif line == ENGINE_BUSY:
            self.send_error_text(503, "varenko-cmd is busy with another command")
        else:
            self.send_body(200, "application/json; charset=utf-8", line)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, handler, max_connections):
        super().__init__(address, handler)
        self.slots = threading.BoundedSemaphore(max_connections)

    def process_request(self, request, client_address):
        # One thread per connection, and no more than the slots: the rest are turned away at once.
        if not self.slots.acquire(blocking=False):
            try:
                request.settimeout(1)
                request.sendall(
                    b"HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n"
                    + b"".join(b"%s: %s\r\n" % (n.encode(), v.encode()) for n, v in FRAMING_HEADERS)
                    + b"\r\n"
                )
            except OSError:
                pass
            self.shutdown_request(request)
            return
        try:
            super().process_request(request, client_address)
        except BaseException:
            self.slots.release()
            raise

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self.slots.release()

    def handle_error(self, request, client_address):
        # A browser that closes a page drops its connections, answered or not: nothing to report.
        if isinstance(sys.exc_info()[1], (BrokenPipeError, ConnectionResetError)):
            return
        super().handle_error(request, client_address)


def main():
    parser = argparse.ArgumentParser(
        description="Serves the Varenko page and relays its commands.",
        usage="%(prog)s [PORT] [options] [-- ARGS...]",
        epilog="ARGS go on varenko-cmd's command line, each existing file or folder as the path Wine shows it by.",
    )
    parser.add_argument("port", nargs="?", type=int, default=0, help="port on 127.0.0.1 (0: any free one)")
    parser.add_argument("--exe", default=os.path.join(ROOT, "build", "bin", "varenko-cmd.exe"))
    parser.add_argument("--native", action="store_true",
                        help="run --exe itself, not under Wine (a stand-in engine, for the relay's own tests)")
    parser.add_argument("--ui", default=os.path.join(ROOT, "ui"))
    parser.add_argument("--timeout", type=float, default=60,
                        help="seconds a command may take before the engine is started again (default 60)")
    parser.add_argument("--read-timeout", type=float, default=10,
                        help="seconds a connection may keep the relay waiting for what it sends (default 10)")
    # A browser keeps up to six connections to a host open between requests, per profile; a test
    # run opens a few profiles at once.
    parser.add_argument("--max-connections", type=int, default=128, help="connections served at once (default 128)")
    parser.add_argument("--verbose", action="store_true", help="log every request to stderr")
    # What follows "--" is the engine's, and may look like the relay's own options.
    argv = sys.argv[1:]
    engine_args = []
    if "--" in argv:
        cut = argv.index("--")
        argv, engine_args = argv[:cut], argv[cut + 1 :]
    args = parser.parse_args(argv)

    if not os.path.isfile(args.exe):
        sys.exit("no such program: %s" % args.exe)
    if not os.path.isdir(args.ui):
        sys.exit("no such folder: %s" % args.ui)

    env = dict(os.environ)
    env.setdefault("WINEPREFIX", os.path.join(ROOT, "build", "wineprefix"))
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")

    exe = os.path.abspath(args.exe)
    engine_args = [engine_path(arg) for arg in engine_args]
    # A restart runs the same command, so the engine keeps its arguments.
    engine = CommandEngine(([exe] if args.native else ["wine", exe]) + engine_args, env)
    server = Server(("127.0.0.1", args.port), Handler, args.max_connections)
    server.engine = engine
    server.ui_dir = os.path.abspath(args.ui)
    server.verbose = args.verbose
    server.token = secrets.token_urlsafe(32)
    server.command_timeout = args.timeout
    server.read_timeout = args.read_timeout
    # A plain kill ends the relay as Ctrl+C does, so the engine is closed either way.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(0))
    print("Varenko page at http://127.0.0.1:%d/varenko/UI#token=%s" % (server.server_address[1], server.token),
          flush=True)
    try:
        server.serve_forever()
    except (KeyboardInterrupt, SystemExit):
        pass
    finally:
        server.server_close()
        engine.stop()


if __name__ == "__main__":
    main()
