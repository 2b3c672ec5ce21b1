#!/usr/bin/env python3
"""Loopback HTTP receiver for the upload control's tests, demo and benchmark.

It listens on 127.0.0.1 only, records every request byte for byte, parses the
multipart/form-data body and the "_ZTUInfo" manifest with its own code, keeps
the uploaded files and writes one JSON account per request. How it answers is
scripted: a default rule plus a queue of one-shot rules, set from the command
line, from a JSON rules file or at run time through /_control.

Files written to the record folder, N being the request number (1, 2, ...):
  N.raw        the request exactly as received (head and body)
  N.json       the account: request line, headers, parts, manifest, answer
  N.files/     the uploaded file parts, numbered by part index
The port is printed as "PORT <n>" on the first stdout line and, with
--port-file, written to that file once the socket is listening.

With --tls CERT KEY (repeatable) the receiver also serves TLS, one more port
per certificate, printed as "TLS <n>" lines and written one a line to
--tls-port-file. Every port feeds the same numbering, records and rules, so
the plain control endpoint follows TLS requests too. A client that refuses
the certificate ends the handshake: nothing is numbered, only counted in
/_control/status as "tls_refused".

A rule is a JSON object; every key is optional:
  status        reply status code (200)
  body          reply text; body_b64 gives raw bytes instead
  repeat        the body is repeated this many times (large replies)
  encoding      codec of the reply text: "utf-8" (default) or "cp949"
  content_type  reply Content-Type
  delay         seconds to wait before answering
  close_after   read this many body bytes, then drop the connection unanswered
  auth          "user:password"; requests without these Basic credentials get 401
  realm         realm of the Basic challenge ("ZTUpload")
  sink          read and discard the body, do not record or parse it
  store         false: parse and hash file parts but do not keep them on disk
  record_raw    false: do not keep the N.raw copy
  keep_alive    false: answer "Connection: close" and close, whatever the
                client asked (so a client keeps no connection to reuse)
  location      reply with this Location header (a redirect with status 302)
  declare       reply with this Content-Length whatever the body holds (a
                server that claims more than it sends; keep_alive false)
  no_length     reply without Content-Length: the body ends when the
                connection closes (implies keep_alive false), as HTTP/1.0 servers do
  hangup        read the whole body, then close without a status line
  reset_head    (queued, no path) the next connection is reset after its
                first bytes arrive, before the request head is complete;
                nothing is numbered or recorded
  pattern       serve a file: the body is this many bytes of the test pattern
                (application/octet-stream), as pattern_bytes(size, seed) makes
  seed          the pattern's seed (0)
  piece         send the reply in pieces of this many bytes ...
  piece_delay   ... with this many seconds between them (a slow server)
Control endpoint (never recorded):
  GET  /_control?key=value...       appends one rule to the queue
  GET  /_control?default=1&key=...  replaces the default rule
  POST /_control  {"default": {...}, "queue": [{...}, ...], "reset": true}
  GET  /_control/requests           the accounts so far, as a JSON list
  GET  /_control/status             {"count": requests numbered so far,
                                     "body_bytes": body bytes read so far, all requests,
                                     "tls_refused": TLS handshakes that failed}
  GET  /_control/shutdown           stops the receiver
"""

import argparse
import base64
import binascii
import ctypes
import hashlib
import json
import os
import signal
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import urllib.parse

HEAD_LIMIT = 256 * 1024          # a request head larger than this is refused
RECV_SIZE = 1 << 20
SOCKET_TIMEOUT = 60.0            # a silent client cannot hold a thread forever
MANIFEST_FIELD = "_ZTUInfo"
INLINE_LIMIT = 64 * 1024         # parts up to this size are kept in the account


# ---------------------------------------------------------------- multipart --

class MultipartParser:
    """Incremental multipart/form-data parser.

    Bytes are fed as they arrive, so a body of any size passes through a
    bounded buffer. Each part's data goes to a sink made by `open_part`.
    """

    def __init__(self, boundary, open_part):
        self.delimiter = b"\r\n--" + boundary
        self.open_part = open_part
        # The first delimiter may start the body without a preceding CR LF.
        self.buf = b"\r\n"
        self.state = "preamble"
        self.preamble = b""
        self.epilogue = b""
        self.part = None
        self.errors = []
        self.closed = False      # the closing delimiter was seen

    def feed(self, data):
        self.buf += data
        while True:
            if self.state in ("preamble", "data"):
                idx = self.buf.find(self.delimiter)
                if idx < 0:
                    keep = len(self.delimiter) - 1
                    if len(self.buf) > keep:
                        self._emit(self.buf[:-keep])
                        self.buf = self.buf[-keep:]
                    return
                self._emit(self.buf[:idx])
                if self.part is not None:
                    self.part.finish()
                    self.part = None
                self.buf = self.buf[idx + len(self.delimiter):]
                self.state = "after_delimiter"
            if self.state == "after_delimiter":
                if len(self.buf) < 2:
                    return
                if self.buf.startswith(b"--"):
                    self.closed = True
                    self.state = "epilogue"
                    self.buf = self.buf[2:]
                elif self.buf.startswith(b"\r\n"):
                    self.state = "headers"
                    self.buf = self.buf[2:]
                else:
                    self.errors.append("delimiter not followed by CR LF or --")
                    self.state = "headers"
            if self.state == "headers":
                end = self.buf.find(b"\r\n\r\n")
                if end < 0:
                    if len(self.buf) > HEAD_LIMIT:
                        self.errors.append("part header too long")
                        self.state = "broken"
                    return
                head = self.buf[:end]
                self.buf = self.buf[end + 4:]
                self.part = self.open_part(parse_part_headers(head, self.errors))
                self.state = "data"
                continue
            if self.state == "epilogue":
                self.epilogue += self.buf
                self.buf = b""
                return
            if self.state == "broken":
                self.buf = b""
                return

    def _emit(self, data):
        if not data:
            return
        if self.state == "preamble":
            self.preamble += data
        elif self.part is not None:
            self.part.write(data)

    def real_preamble(self):
        # The first two bytes of a non-empty preamble are the CR LF put in
        # front of the body so the first delimiter matches like the others.
        return self.preamble[2:]

    def finish(self):
        """End of the body: whatever is still buffered is an unterminated part."""
        if self.state == "data" and self.part is not None:
            self._emit(self.buf)
            self.part.finish()
            self.part = None
            self.buf = b""
        if not self.closed:
            self.errors.append("no closing delimiter")


def parse_part_headers(head, errors):
    headers = []
    for line in head.split(b"\r\n"):
        if b":" not in line:
            errors.append("part header line without colon: %r" % line[:80])
            continue
        key, value = line.split(b":", 1)
        headers.append((key.strip(), value.strip()))
    return headers


def disposition_params(value):
    """Parameters of a Content-Disposition value, as raw bytes.

    The control escapes quotes in names (%22), but earlier versions did not,
    so a quoted value runs to the next quote followed by ';' or the end of line.
    """
    params = {}
    rest = value
    first = rest.find(b";")
    rest = rest[first + 1:] if first >= 0 else b""
    while rest:
        rest = rest.lstrip(b" \t;")
        eq = rest.find(b"=")
        if eq < 0:
            break
        key = rest[:eq].strip().lower()
        rest = rest[eq + 1:]
        if rest.startswith(b'"'):
            end = _closing_quote(rest)
            params[key] = rest[1:end]
            rest = rest[end + 1:]
        else:
            end = rest.find(b";")
            end = len(rest) if end < 0 else end
            params[key] = rest[:end].strip()
            rest = rest[end:]
    return params


def _closing_quote(text):
    pos = 1
    while True:
        q = text.find(b'"', pos)
        if q < 0:
            return len(text)
        after = text[q + 1:].lstrip(b" \t")
        if not after or after.startswith(b";"):
            return q
        pos = q + 1


# ----------------------------------------------------------------- manifest --

def parse_manifest(text):
    """Rows of the "_ZTUInfo" manifest: kind, name, size, attribute values.

    Every row is fields each followed by '|', then CR LF (header and file
    rows) or LF alone (deleted rows); the line end is reported per row.
    """
    result = {"header": None, "rows": [], "errors": []}
    pos = 0
    while pos < len(text):
        nl = text.find("\n", pos)
        if nl < 0:
            result["errors"].append("last row has no line end")
            line, end, pos = text[pos:], "", len(text)
        else:
            line, pos = text[pos:nl], nl + 1
            end = "LF"
            if line.endswith("\r"):
                line, end = line[:-1], "CRLF"
        if not line.endswith("|"):
            result["errors"].append("row does not end with '|': %r" % line[:80])
            fields = line.split("|")
        else:
            fields = line[:-1].split("|")
        if result["header"] is None and fields[:3] == ["Type", "FileName", "Size"]:
            result["header"] = {"fields": fields, "attributes": fields[3:], "line_end": end}
            continue
        row = {"kind": fields[0], "fields": fields, "line_end": end}
        if len(fields) >= 3:
            row["name"] = fields[1]
            try:
                row["size"] = int(fields[2])
            except ValueError:
                result["errors"].append("size is not a number: %r" % fields[2])
            values = fields[3:]
            row["attributes"] = values
            names = result["header"]["attributes"] if result["header"] else []
            if names and len(values) != len(names):
                result["errors"].append("row %r has %d attribute fields, header %d"
                                        % (row.get("name"), len(values), len(names)))
            row["attrs"] = dict(zip(names, values))
        else:
            result["errors"].append("row with fewer than 3 fields: %r" % line[:80])
        result["rows"].append(row)
    return result


# ------------------------------------------------------------------- server --

class Part:
    """One part of a body: headers, size, digest, and its bytes kept inline
    (small parts) and/or in a file (file parts)."""

    def __init__(self, index, headers, folder, store):
        self.index = index
        self.headers = headers
        self.size = 0
        self.digest = hashlib.sha256()
        self.inline = bytearray()
        cd = b""
        for k, v in headers:
            if k.lower() == b"content-disposition":
                cd = v
        params = disposition_params(cd)
        self.name = params.get(b"name")
        self.filename = params.get(b"filename")
        self.path = None
        self.file = None
        if self.filename is not None and store and folder:
            os.makedirs(folder, exist_ok=True)
            self.path = os.path.join(folder, "%d.bin" % index)
            self.file = open(self.path, "wb")

    def write(self, data):
        self.size += len(data)
        self.digest.update(data)
        if len(self.inline) <= INLINE_LIMIT:
            self.inline += data
        if self.file:
            self.file.write(data)

    def finish(self):
        if self.file:
            self.file.close()
            self.file = None


def pattern_bytes(size, seed):
    """A file's bytes that differ at every offset, so a byte out of place
    shows; the tests' own generator makes the same bytes."""
    state = (seed * 2654435761 + 1) & 0xFFFFFFFF
    out = bytearray(size)
    for i in range(size):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        out[i] = state >> 24
    return bytes(out)


def decode(data, charset):
    return data.decode(charset, errors="replace")


class Receiver(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, args, port=None, tls=None, shared=None):
        super().__init__(("127.0.0.1", args.port if port is None else port), Handler)
        self.tls = tls           # an ssl.SSLContext for a TLS port, else None
        if shared is not None:
            # A further port of the same receiver: same records and rules.
            self.state = shared.state
            return
        self.state = self
        self.args = args
        self.lock = threading.Lock()
        self.count = 0
        self.body_bytes = 0      # live: grows while a body arrives
        self.tls_refused = 0
        self.accounts = []
        self.default_rule = load_default_rule(args)
        self.queue = []
        if args.rules:
            with open(args.rules, encoding="utf-8") as f:
                self.apply_control(json.load(f))
        self.done = threading.Event()

    def next_number(self):
        with self.lock:
            self.count += 1
            return self.count

    def take_connection_rule(self):
        """The first queued rule, when it acts on the connection itself."""
        with self.lock:
            if self.queue and self.queue[0].get("reset_head"):
                return self.queue.pop(0)
            return None

    def take_rule(self, path):
        with self.lock:
            for i, rule in enumerate(self.queue):
                if rule.get("path") in (None, path):
                    return dict(self.queue.pop(i))
            return dict(self.default_rule)

    def apply_control(self, doc):
        with self.lock:
            if doc.get("reset"):
                self.queue = []
                self.default_rule = load_default_rule(self.args)
            if "default" in doc:
                self.default_rule = dict(doc["default"])
            self.queue.extend(dict(r) for r in doc.get("queue", []))

    def trace(self, text):
        if self.args.trace:
            print("%.1f %s" % (time.monotonic(), text), file=sys.stderr, flush=True)

    def finished(self, account):
        with self.lock:
            self.accounts.append(account)
        if self.args.once:
            self.done.set()


def load_default_rule(args):
    rule = {"status": args.status, "body": args.body, "encoding": args.encoding}
    if args.delay:
        rule["delay"] = args.delay
    if args.auth:
        rule["auth"] = args.auth
    if args.sink:
        rule["sink"] = True
    return rule


def rule_from_query(query):
    rule = {}
    for key, values in urllib.parse.parse_qs(query, keep_blank_values=True).items():
        value = values[-1]
        if key in ("status", "close_after", "repeat", "pattern", "seed", "piece"):
            rule[key] = int(value)
        elif key in ("delay", "piece_delay"):
            rule[key] = float(value)
        elif key in ("sink", "store", "record_raw", "default", "keep_alive", "hangup", "reset_head", "no_length"):
            rule[key] = value not in ("0", "false", "")
        else:
            rule[key] = value
    return rule


class ClientGone(Exception):
    pass


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.request.settimeout(SOCKET_TIMEOUT)
        self.pending = b""
        self.refused = False
        tls = self.server.tls
        self.server = self.server.state
        if tls is not None:
            try:
                self.request = tls.wrap_socket(self.request, server_side=True)
            except (ssl.SSLError, OSError):
                # The client refused the certificate (or went away): no request.
                self.refused = True
                with self.server.lock:
                    self.server.tls_refused += 1

    def finish(self):
        # A TLS socket took over the accepted one: close it ourselves.
        if isinstance(self.request, ssl.SSLSocket):
            try:
                self.request.close()
            except OSError:
                pass

    def handle(self):
        if self.refused:
            return
        if self.server.take_connection_rule():
            self.recv(16)
            self.drop()
            return
        # Keep-alive: several requests may arrive on one connection.
        for _ in range(10000):
            head = self.read_head()
            if head is None:
                return
            if not self.serve(head):
                return

    # -- reading

    def recv(self, limit=RECV_SIZE):
        if self.pending:
            data, self.pending = self.pending[:limit], self.pending[limit:]
            return data
        try:
            return self.request.recv(limit)
        except (ConnectionError, socket.timeout, OSError):
            return b""

    def read_head(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.recv()
            if not chunk:
                return None
            data += chunk
            if len(data) > HEAD_LIMIT and b"\r\n\r\n" not in data:
                return None
        end = data.index(b"\r\n\r\n") + 4
        self.pending = data[end:] + self.pending
        return data[:end]

    # -- one request

    def serve(self, head):
        server = self.server
        lines = head[:-4].split(b"\r\n")
        request_line = lines[0].decode("latin-1")
        parts = request_line.split(" ")
        method, target, version = (parts + ["", "", ""])[:3]
        headers = []
        for line in lines[1:]:
            if b":" in line:
                k, v = line.split(b":", 1)
                headers.append((k.decode("latin-1").strip(), v.decode("latin-1").strip()))
        hmap = {k.lower(): v for k, v in headers}
        path, _, query = target.partition("?")

        if path.startswith("/_control"):
            return self.control(method, path, query, hmap)

        number = server.next_number()
        rule = server.take_rule(path)
        server.trace("%d: %s %s arrives, rule %s" % (number, method, target, json.dumps(rule)[:200]))
        folder = server.args.record_dir
        base = os.path.join(folder, str(number)) if folder else None
        account = {
            "number": number, "method": method, "target": target, "path": path,
            "version": version, "request_line": request_line, "headers": headers,
            "rule": rule, "complete": False, "body_bytes": 0,
            "tls": isinstance(self.request, ssl.SSLSocket),
        }
        length = hmap.get("content-length")
        chunked = "chunked" in hmap.get("transfer-encoding", "").lower()
        account["content_length"] = int(length) if length and length.isdigit() else None
        if hmap.get("expect", "").lower() == "100-continue" and not rule.get("close_after"):
            self.send(b"HTTP/1.1 100 Continue\r\n\r\n")

        sink = bool(rule.get("sink"))
        raw = None
        if base and not sink and rule.get("record_raw", True):
            raw = open(base + ".raw", "wb")
            raw.write(head)
            account["raw"] = base + ".raw"
        elif base and sink:
            # Even a discarded request leaves its head for inspection.
            with open(base + ".raw", "wb") as f:
                f.write(head)

        parser = None
        parts_seen = []
        content_type = hmap.get("content-type", "")
        charset = "utf-8" if hmap.get("accept-language", "").lower() == "utf-8" else "cp949"
        account["charset"] = charset
        if not sink and content_type.lower().startswith("multipart/form-data"):
            boundary = content_type.split("boundary=", 1)[-1].strip().strip('"')
            account["boundary"] = boundary
            store = rule.get("store", True)

            def open_part(part_headers):
                part = Part(len(parts_seen), part_headers,
                            base + ".files" if base else None, store)
                parts_seen.append(part)
                return part
            parser = MultipartParser(boundary.encode("latin-1"), open_part)

        close_after = rule.get("close_after")
        received = 0
        try:
            received = self.read_body(account, raw, parser, chunked, close_after)
        finally:
            if raw:
                raw.close()
            for p in parts_seen:
                p.finish()
        account["body_bytes"] = received
        if parser:
            parser.finish()
            account["multipart"] = {
                "preamble_b64": base64.b64encode(parser.real_preamble()).decode(),
                "epilogue_b64": base64.b64encode(parser.epilogue).decode(),
                "closed": parser.closed,
                "errors": parser.errors,
            }
            account["parts"] = [self.describe(p, charset) for p in parts_seen]
            for p in account["parts"]:
                if p["name"] == MANIFEST_FIELD and p.get("filename") is None:
                    account["manifest"] = parse_manifest(p.get("text", ""))
                    break

        # The account is on disk before the reply leaves, so a client holding
        # its reply can read what the receiver saw at once, without polling.
        reply = None
        if account["complete"] and rule.get("hangup"):
            account["hung_up"] = True
        elif account["complete"]:
            reply, keep = self.compose_answer(rule, account, hmap, version)
        if base:
            write_json(base + ".json", account)
        if account.get("hung_up"):
            self.drop()
        if reply is not None:
            delay = float(rule.get("delay") or 0)
            if delay > 0:
                time.sleep(min(delay, 3600))
            self.send_in_pieces(reply, rule)
        server.trace("%d: body %d bytes%s, %s" % (
            number, received, "" if account["complete"] else " (incomplete)",
            "answered %d" % account["answer"]["status"] if reply is not None else "no answer"))
        server.finished(account)
        return reply is not None and keep

    def read_body(self, account, raw, parser, chunked, close_after):
        """Reads the body, feeding the record and the parser; returns the body
        bytes received. account["complete"] tells whether all of it came."""
        length = account["content_length"]
        received = 0

        def take(data):
            nonlocal received
            received += len(data)
            with self.server.lock:
                self.server.body_bytes += len(data)
            if raw:
                raw.write(data)

        if chunked:
            return self.read_chunked(account, take, parser, close_after)
        if length is None:
            length = 0 if account["method"] in ("GET", "HEAD") else None
        while length is None or received < length:
            want = RECV_SIZE if length is None else min(RECV_SIZE, length - received)
            if close_after is not None:
                want = min(want, close_after - received)
                if want <= 0:
                    self.drop()
                    account["dropped"] = True
                    return received
            data = self.recv(want)
            if not data:
                break
            take(data)
            if parser:
                parser.feed(data)
        account["complete"] = length is None or received == length
        if close_after is not None and received >= close_after:
            self.drop()
            account["dropped"] = True
            account["complete"] = False
        return received

    def read_chunked(self, account, take, parser, close_after):
        body = 0

        def line():
            data = b""
            while not data.endswith(b"\r\n"):
                c = self.recv(1)
                if not c:
                    raise ClientGone()
                data += c
                take(c)
            return data

        def exact(n):
            nonlocal body
            while n:
                data = self.recv(min(n, RECV_SIZE))
                if not data:
                    raise ClientGone()
                take(data)
                n -= len(data)
                yield data

        try:
            while True:
                size = int(line().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while line() != b"\r\n":
                        pass
                    break
                for data in exact(size):
                    body += len(data)
                    if parser:
                        parser.feed(data)
                    if close_after is not None and body >= close_after:
                        self.drop()
                        account["dropped"] = True
                        return body
                list(exact(2))
            account["complete"] = True
        except (ClientGone, ValueError):
            pass
        account["chunked"] = True
        return body

    def drop(self):
        # Closing with unread data makes the kernel reset the connection,
        # which is what a server that gives up mid-body looks like.
        try:
            self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                    struct.pack("ii", 1, 0))
            self.request.close()
        except OSError:
            pass

    def describe(self, part, charset):
        d = {
            "index": part.index,
            "name": decode(part.name, charset) if part.name is not None else None,
            "filename": decode(part.filename, charset) if part.filename is not None else None,
            "name_hex": binascii.hexlify(part.name or b"").decode(),
            "headers": [[k.decode("latin-1"), v.decode("latin-1")] for k, v in part.headers],
            "headers_hex": [[binascii.hexlify(k).decode(), binascii.hexlify(v).decode()]
                            for k, v in part.headers],
            "size": part.size,
            "sha256": part.digest.hexdigest(),
        }
        if part.path:
            d["path"] = part.path
        if part.size <= INLINE_LIMIT:
            d["data_b64"] = base64.b64encode(bytes(part.inline)).decode()
            if part.filename is None:
                d["text"] = decode(bytes(part.inline), charset)
        return d

    # -- answering

    def compose_answer(self, rule, account, hmap, version):
        """The reply to a complete request, recorded in its account; returns
        the reply bytes and whether the connection stays open."""
        status = int(rule.get("status", 200))
        extra = []
        auth = rule.get("auth")
        if auth:
            expected = "Basic " + base64.b64encode(auth.encode("utf-8")).decode()
            account["authorization"] = hmap.get("authorization")
            if hmap.get("authorization") != expected:
                status = 401
                realm = rule.get("realm", "ZTUpload")
                extra.append("WWW-Authenticate: Basic realm=\"%s\"" % realm)
                rule = {"body": "authorization required"}
        encoding = rule.get("encoding") or "utf-8"
        if "pattern" in rule:
            body = pattern_bytes(int(rule["pattern"]), int(rule.get("seed", 0)))
            rule = dict(rule, content_type=rule.get("content_type") or "application/octet-stream")
        elif "body_b64" in rule:
            body = base64.b64decode(rule["body_b64"])
        else:
            body = (rule.get("body") or "").encode(encoding)
        body *= int(rule.get("repeat", 1))
        ctype = rule.get("content_type") or (
            "text/plain; charset=%s" % ("utf-8" if encoding.lower() in ("utf-8", "utf8") else "ks_c_5601-1987"))
        keep = (hmap.get("connection", "").lower() == "keep-alive"
                if version == "HTTP/1.0" else hmap.get("connection", "").lower() != "close")
        keep = keep and rule.get("keep_alive", True) and not rule.get("no_length") and "declare" not in rule
        if rule.get("location"):
            extra.append("Location: " + rule["location"])
        reason = {200: "OK", 302: "Found", 401: "Unauthorized", 404: "Not Found",
                  500: "Internal Server Error"}.get(status, "Status")
        head = ["HTTP/1.1 %d %s" % (status, reason), "Content-Type: " + ctype]
        if "declare" in rule:
            head.append("Content-Length: %s" % rule["declare"])
        elif not rule.get("no_length"):
            head.append("Content-Length: %d" % len(body))
        head += ["Connection: " + ("keep-alive" if keep else "close")] + extra
        account["answer"] = {"status": status, "body_bytes": len(body)}
        return ("\r\n".join(head) + "\r\n\r\n").encode("latin-1") + body, keep

    def send_in_pieces(self, data, rule):
        piece = int(rule.get("piece") or 0)
        if piece <= 0:
            return self.send(data)
        pause = float(rule.get("piece_delay") or 0)
        for start in range(0, len(data), piece):
            if start and pause > 0:
                time.sleep(pause)
            self.send(data[start:start + piece])

    def send(self, data):
        try:
            self.request.sendall(data)
        except OSError:
            pass

    def control(self, method, path, query, hmap):
        server = self.server
        body = b""
        length = int(hmap.get("content-length", "0") or 0)
        while len(body) < length:
            chunk = self.recv(length - len(body))
            if not chunk:
                return False
            body += chunk
        reply = {"ok": True}
        status = 200
        if path == "/_control":  # rules; the frequent reads of counts are left out
            server.trace("control: %s %s" % (method, query or body.decode("utf-8", "replace")[:200]))
        try:
            if path == "/_control/requests":
                with server.lock:
                    reply = list(server.accounts)
            elif path == "/_control/status":
                with server.lock:
                    reply = {"count": server.count, "body_bytes": server.body_bytes,
                             "tls_refused": server.tls_refused}
            elif path == "/_control/shutdown":
                server.done.set()
            elif method == "POST":
                server.apply_control(json.loads(body.decode("utf-8") or "{}"))
            else:
                rule = rule_from_query(query)
                if rule.pop("default", False):
                    server.apply_control({"default": rule})
                elif rule:
                    server.apply_control({"queue": [rule]})
        except (ValueError, TypeError, AttributeError) as e:
            status, reply = 400, {"ok": False, "error": str(e)}
        data = json.dumps(reply).encode("utf-8")
        self.send(("HTTP/1.1 %d %s\r\nContent-Type: application/json\r\n"
                   "Content-Length: %d\r\nConnection: close\r\n\r\n"
                   % (status, "OK" if status == 200 else "Bad Request", len(data))).encode() + data)
        return False


def write_json(path, doc):
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(doc, f, ensure_ascii=False, indent=1)
    os.replace(tmp, path)


def write_lines(path, numbers):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write("".join("%d\n" % n for n in numbers))
    os.replace(tmp, path)


def pin_malloc_threshold():
    """Keeps glibc's mmap threshold where it starts (128 KiB). Left dynamic,
    one fast client (curl, 1 GiB in under a second, each read a fresh
    megabyte) raised it for the whole process, and every later connection
    then read two to three times slower: a benchmark after it timed the
    receiver, not its client."""
    try:
        ctypes.CDLL(None).mallopt(-3, 128 * 1024)  # M_MMAP_THRESHOLD
    except (OSError, AttributeError):
        pass  # not glibc: nothing to pin


def main(argv=None):
    pin_malloc_threshold()
    ap = argparse.ArgumentParser(description="Loopback HTTP receiver for upload tests")
    ap.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: a free one)")
    ap.add_argument("--port-file", help="write the port number to this file")
    ap.add_argument("--record-dir", help="folder for the records of every request")
    ap.add_argument("--rules", help="JSON file: {\"default\": rule, \"queue\": [rules]}")
    ap.add_argument("--status", type=int, default=200)
    ap.add_argument("--body", default="OK")
    ap.add_argument("--encoding", default="utf-8", choices=["utf-8", "cp949"])
    ap.add_argument("--delay", type=float, default=0)
    ap.add_argument("--auth", help="user:password required through Basic authentication")
    ap.add_argument("--sink", action="store_true", help="discard bodies, answer 200")
    ap.add_argument("--once", action="store_true", help="exit after one recorded request")
    ap.add_argument("--tls", nargs=2, action="append", default=[], metavar=("CERT", "KEY"),
                    help="also serve TLS with this certificate chain and key, on a port of its own")
    ap.add_argument("--tls-port-file", help="write the TLS ports, one a line, to this file")
    ap.add_argument("--trace", action="store_true",
                    help="say on stderr when each request and rule arrives and each reply leaves")
    ap.add_argument("--timeout", type=float, default=900,
                    help="exit after this many seconds whatever happens (0: never)")
    args = ap.parse_args(argv)

    if args.record_dir:
        os.makedirs(args.record_dir, exist_ok=True)
    server = Receiver(args)
    servers = [server]
    for cert, key in args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        servers.append(Receiver(args, port=0, tls=context, shared=server))
    port = server.server_address[1]
    tls_ports = [s.server_address[1] for s in servers[1:]]
    if args.tls_port_file:
        write_lines(args.tls_port_file, tls_ports)
    if args.port_file:
        write_lines(args.port_file, [port])
    print("PORT %d" % port, flush=True)
    for p in tls_ports:
        print("TLS %d" % p, flush=True)

    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: server.done.set())
    threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
               for s in servers]
    for t in threads:
        t.start()
    server.done.wait(args.timeout if args.timeout > 0 else None)
    for s, t in zip(servers, threads):
        s.shutdown()
        s.server_close()
        t.join(5)
    # Give a request that is still answering a moment to write its account.
    time.sleep(0.2)
    return 0


if __name__ == "__main__":
    sys.exit(main())
