"""The loopback receiver: what it records, how it parses, how it answers."""

import base64
import hashlib
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.path.join(HERE, "..", "..", "tools", "receiver")
sys.path.insert(0, TOOL)
import receiver  # noqa: E402

BOUNDARY = "3f2b8c1e-5d4a-4e7b-9c0d-1a2b3c4d5e6f"
MANIFEST = ("Type|FileName|Size|author|note|\r\n"
            "N|a.txt|5|kim|x y|\r\n"
            "N|\ud55c\uae00.bin|70000||a|\r\n"
            "V|old.doc|-1294967296|lee||\r\n"
            "D|gone.txt|12|park||\n"
            "D|gone2.txt|0|||\n")
FILE_B = bytes(range(256)) * 273 + b"\r\n--" + BOUNDARY[:10].encode() + b"tail"


def upload_body(boundary=BOUNDARY):
    """A body as the control writes it: text parts, then file parts, UTF-8."""
    def text(name, value):
        return ("--%s\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n"
                % (boundary, name, value)).encode("utf-8")

    def file_head(name):
        return ("--%s\r\nContent-Disposition: form-data; name=\"%s\"; filename=\"%s\"\r\n"
                "Content-Type: application/octet-stream\r\n\r\n" % (boundary, name, name)).encode("utf-8")
    return (text("title", "Hello") + text("_ZTUInfo", MANIFEST)
            + file_head("a.txt") + b"abcde" + b"\r\n" + file_head("\ud55c\uae00.bin") + FILE_B
            + ("\r\n--%s--\r\n" % boundary).encode())


class ReceiverProcess:
    def __init__(self, *args):
        self.dir = tempfile.TemporaryDirectory()
        self.records = os.path.join(self.dir.name, "rec")
        self.proc = subprocess.Popen(
            [sys.executable, os.path.join(TOOL, "receiver.py"), "--record-dir", self.records,
             "--timeout", "120", *args], stdout=subprocess.PIPE, text=True)
        first = self.proc.stdout.readline().split()
        assert first[0] == "PORT", first
        self.port = int(first[1])

    def account(self, number, wait=10.0):
        """The account of request `number`; wait=0 once the client holds its
        reply, which never leaves before the account is written."""
        path = os.path.join(self.records, "%d.json" % number)
        deadline = time.monotonic() + wait
        while not os.path.exists(path):
            if time.monotonic() > deadline:
                raise AssertionError("no account " + path)
            time.sleep(0.02)
        with open(path, encoding="utf-8") as f:
            return json.load(f)

    def raw(self, number):
        with open(os.path.join(self.records, "%d.raw" % number), "rb") as f:
            return f.read()

    def control(self, query):
        url = "http://127.0.0.1:%d/_control?%s" % (self.port, query)
        with urllib.request.urlopen(url, timeout=10) as r:
            return json.load(r)

    def close(self):
        self.proc.terminate()
        self.proc.wait(10)
        self.proc.stdout.close()
        self.dir.cleanup()


def post_raw(port, head, body, pieces=4096, read_reply=True):
    """Sends a request the way WinINet does: head, then the body in pieces."""
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    try:
        s.sendall(head)
        for i in range(0, len(body), pieces):
            s.sendall(body[i:i + pieces])
        if not read_reply:
            return None
        reply = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return reply
            reply += chunk
    finally:
        s.close()


def request_head(body_len, extra=""):
    return ("POST /upload/do.asp HTTP/1.0\r\nHost: 127.0.0.1\r\n"
            "Content-Type: multipart/form-data; boundary=%s\r\nAccept-Language: utf-8\r\n"
            "Content-Length: %d\r\n%s\r\n" % (BOUNDARY, body_len, extra)).encode()


class MultipartParsing(unittest.TestCase):
    def parse(self, body, step):
        parts = []

        def open_part(headers):
            parts.append(receiver.Part(len(parts), headers, None, False))
            return parts[-1]
        p = receiver.MultipartParser(BOUNDARY.encode(), open_part)
        for i in range(0, len(body), step):
            p.feed(body[i:i + step])
        p.finish()
        return p, parts

    def test_any_split_of_the_body_gives_the_same_parts(self):
        body = upload_body()
        for step in (1, 3, 41, 4096, len(body)):
            p, parts = self.parse(body, step)
            self.assertEqual([], p.errors, step)
            self.assertTrue(p.closed)
            self.assertEqual(b"", p.preamble)
            self.assertEqual(b"\r\n", p.epilogue)
            self.assertEqual([b"title", b"_ZTUInfo", b"a.txt", "\ud55c\uae00.bin".encode()],
                             [x.name for x in parts])
            self.assertEqual(len(FILE_B), parts[3].size, step)
            self.assertEqual(hashlib.sha256(FILE_B).hexdigest(), parts[3].digest.hexdigest(), step)
            self.assertEqual(b"abcde", bytes(parts[2].inline))

    def test_preamble_before_the_first_delimiter_is_kept_apart(self):
        p, parts = self.parse(b"junk\r\n" + upload_body(), 7)
        self.assertEqual(b"junk", p.real_preamble())
        self.assertEqual(4, len(parts))

    def test_missing_closing_delimiter_is_reported(self):
        body = upload_body()
        p, parts = self.parse(body[:-len(BOUNDARY) - 8], 100)
        self.assertIn("no closing delimiter", p.errors)

    def test_quoted_name_may_hold_a_quote(self):
        params = receiver.disposition_params(b'form-data; name="a"b.txt"; filename="a"b.txt"')
        self.assertEqual(b'a"b.txt', params[b"name"])
        self.assertEqual(b'a"b.txt', params[b"filename"])


class RecordingAndParsing(unittest.TestCase):
    def setUp(self):
        self.rx = ReceiverProcess()

    def tearDown(self):
        self.rx.close()

    def test_upload_is_recorded_exactly_and_parsed(self):
        body = upload_body()
        head = request_head(len(body), "Connection: Keep-Alive\r\n")
        reply = post_raw(self.rx.port, head, body, read_reply=False)
        a = self.rx.account(1)
        self.assertEqual(head + body, self.rx.raw(1))
        self.assertTrue(a["complete"])
        self.assertEqual("POST /upload/do.asp HTTP/1.0", a["request_line"])
        self.assertEqual([], a["multipart"]["errors"])
        names = [(p["name"], p["filename"]) for p in a["parts"]]
        self.assertEqual([("title", None), ("_ZTUInfo", None), ("a.txt", "a.txt"),
                          ("\ud55c\uae00.bin", "\ud55c\uae00.bin")], names)
        self.assertEqual("Hello", a["parts"][0]["text"])
        with open(a["parts"][3]["path"], "rb") as f:
            self.assertEqual(FILE_B, f.read())
        self.assertEqual(["Content-Disposition", "Content-Type"], [h[0] for h in a["parts"][2]["headers"]])

        m = a["manifest"]
        self.assertEqual([], m["errors"])
        self.assertEqual(["author", "note"], m["header"]["attributes"])
        self.assertEqual("CRLF", m["header"]["line_end"])
        rows = m["rows"]
        self.assertEqual(["N", "N", "V", "D", "D"], [r["kind"] for r in rows])
        self.assertEqual(["CRLF", "CRLF", "CRLF", "LF", "LF"], [r["line_end"] for r in rows])
        self.assertEqual(-1294967296, rows[2]["size"])
        self.assertEqual({"author": "", "note": "a"}, rows[1]["attrs"])
        self.assertEqual({"author": "park", "note": ""}, rows[3]["attrs"])
        self.assertIsNone(reply)

    def test_korean_names_in_the_ansi_code_page(self):
        name = "\ud55c\uae00.txt"
        body = ("--%s\r\nContent-Disposition: form-data; name=\"%s\"; filename=\"%s\"\r\n"
                "Content-Type: application/octet-stream\r\n\r\n" % (BOUNDARY, name, name)).encode("cp949")
        body += b"x\r\n--" + BOUNDARY.encode() + b"--\r\n"
        head = request_head(len(body)).replace(b"utf-8", b"ko")
        reply = post_raw(self.rx.port, head, body)
        self.assertTrue(reply.startswith(b"HTTP/1.1 200"))
        a = self.rx.account(1, wait=0)
        self.assertEqual(name, a["parts"][0]["filename"])
        self.assertEqual(name.encode("cp949").hex(), a["parts"][0]["name_hex"])

    def test_client_that_stops_mid_body_is_still_recorded(self):
        body = upload_body()
        head = request_head(len(body))
        s = socket.create_connection(("127.0.0.1", self.rx.port), timeout=10)
        s.sendall(head + body[:5000])
        s.close()
        a = self.rx.account(1)
        self.assertFalse(a["complete"])
        self.assertEqual(5000, a["body_bytes"])
        self.assertEqual(head + body[:5000], self.rx.raw(1))
        self.assertNotIn("answer", a)


class Answers(unittest.TestCase):
    def setUp(self):
        self.rx = ReceiverProcess("--auth", "kim:pa ss")

    def tearDown(self):
        self.rx.close()

    def post(self, body=b"field", headers=None):
        c = http.client.HTTPConnection("127.0.0.1", self.rx.port, timeout=10)
        try:
            c.request("POST", "/p", body=body, headers=headers or {})
            r = c.getresponse()
            return r.status, dict(r.getheaders()), r.read()
        finally:
            c.close()

    def test_basic_challenge_accepts_only_the_configured_user(self):
        good = {"Authorization": "Basic " + base64.b64encode(b"kim:pa ss").decode()}
        bad = {"Authorization": "Basic " + base64.b64encode(b"kim:wrong").decode()}
        status, headers, _ = self.post()
        self.assertEqual(401, status)
        self.assertEqual('Basic realm="ZTUpload"', headers["WWW-Authenticate"])
        self.assertEqual(401, self.post(headers=bad)[0])
        self.assertEqual((200, b"OK"), self.post(headers=good)[::2])
        # The challenge still reads the whole body first.
        self.assertEqual(5, self.rx.account(1, wait=0)["body_bytes"])

    def test_keep_alive_off_closes_even_a_kept_alive_connection(self):
        keep = {"Connection": "keep-alive"}
        self.assertEqual("keep-alive", self.post(headers=keep)[1]["Connection"])
        self.rx.control("default=1&keep_alive=0")
        self.assertEqual("close", self.post(headers=keep)[1]["Connection"])

    def test_queued_rules_apply_once_then_the_default(self):
        self.rx.control("default=1&status=200&body=" + "%ED%95%9C%EA%B8%80" + "&encoding=cp949")
        self.rx.control("status=500&body=boom")
        self.rx.control("repeat=20000&body=0123456789")
        self.assertEqual((500, b"boom"), self.post()[::2])
        status, _, big = self.post()
        self.assertEqual(200000, len(big))
        status, headers, text = self.post()
        self.assertEqual("\ud55c\uae00".encode("cp949"), text)
        self.assertIn("ks_c_5601-1987", headers["Content-Type"])

    def test_faults_hangup_reset_before_the_head_and_redirect(self):
        # The whole body read, then no status line.
        self.rx.control("hangup=1")
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.post()
        self.assertTrue(self.rx.account(1)["hung_up"])
        # Reset before the head is complete: nothing is numbered.
        self.rx.control("reset_head=1")
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.post()
        status, headers, _ = (self.rx.control("status=302&location=/elsewhere") and self.post())
        self.assertEqual((302, "/elsewhere"), (status, headers["Location"]))
        self.assertEqual(2, self.rx.account(2)["number"])
    def test_a_file_is_served_for_its_path_in_slow_pieces(self):
        self.rx.control("path=/files/a.bin&pattern=70000&seed=7&piece=1000&piece_delay=0.002")
        c = http.client.HTTPConnection("127.0.0.1", self.rx.port, timeout=10)
        try:
            c.request("GET", "/files/other.bin")  # not its path: the default answers
            self.assertEqual(401, c.getresponse().status)
            c.close()
            started = time.monotonic()
            c.request("GET", "/files/a.bin")
            r = c.getresponse()
            data = r.read()
            took = time.monotonic() - started
        finally:
            c.close()
        self.assertEqual((200, "application/octet-stream", "70000"),
                         (r.status, r.getheader("Content-Type"), r.getheader("Content-Length")))
        self.assertEqual(receiver.pattern_bytes(70000, 7), data)
        self.assertGreater(took, 0.1)  # 70 pieces, 2 ms apart
        self.assertNotEqual(receiver.pattern_bytes(64, 7), receiver.pattern_bytes(64, 8))

    def test_close_after_drops_the_connection_unanswered(self):
        self.rx.control("default=1&close_after=1000")
        body = b"z" * (4 << 20)
        with self.assertRaises(OSError):
            reply = post_raw(self.rx.port, request_head(len(body)), body)
            # A peer that reset before we finished writing may leave us an EOF.
            if reply == b"":
                raise ConnectionResetError()
        a = self.rx.account(1)
        self.assertTrue(a["dropped"])
        self.assertEqual(1000, a["body_bytes"])
        self.assertEqual(request_head(len(body)) + b"z" * 1000, self.rx.raw(1))

    def test_sink_discards_a_large_body(self):
        self.rx.control("default=1&sink=1")
        size = 64 << 20
        s = socket.create_connection(("127.0.0.1", self.rx.port), timeout=30)
        s.sendall(request_head(size))
        block = b"\0" * (1 << 20)
        for _ in range(size >> 20):
            s.sendall(block)
        reply = s.recv(100)
        s.close()
        self.assertTrue(reply.startswith(b"HTTP/1.1 200"))
        a = self.rx.account(1, wait=0)
        self.assertEqual(size, a["body_bytes"])
        self.assertTrue(a["complete"])
        self.assertNotIn("parts", a)
        self.assertEqual(request_head(size), self.rx.raw(1))


class Lifetime(unittest.TestCase):
    def test_once_exits_after_one_request_and_port_file_matches(self):
        with tempfile.TemporaryDirectory() as d:
            port_file = os.path.join(d, "port")
            proc = subprocess.Popen([sys.executable, os.path.join(TOOL, "receiver.py"), "--once",
                                     "--timeout", "60", "--port-file", port_file],
                                    stdout=subprocess.PIPE, text=True)
            port = int(proc.stdout.readline().split()[1])
            with open(port_file) as f:
                self.assertEqual(port, int(f.read()))
            post_raw(port, b"POST / HTTP/1.0\r\nContent-Length: 2\r\n\r\n", b"hi")
            self.assertEqual(0, proc.wait(10))
            proc.stdout.close()


if __name__ == "__main__":
    unittest.main()
