#!/usr/bin/env python3
"""capture_fixtures.py <win32|win64> <zt_server_kit_tests.exe> <out folder>
   capture_fixtures.py hostile <out folder>
Makes server/fixtures: runs the end-to-end program against the loopback
receiver, which records every request byte for byte, and keeps each request
(NN-way.http) with the result a kit must give for it (NN-way.json). Then
writes the hand-made hostile requests, each expecting {"error": reason}, and the
POSTs naming tus uploads (resumable/)."""
import hashlib, json, os, subprocess, sys, tempfile, time

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(os.path.dirname(here))
out = sys.argv[-1]
ways = ["post-utf8", "post-cp949", "postfile", "postmessage", "dialog-fields",
        "dialog-file1", "dialog-file2", "dialog-file3"]

def capture(arch, program):
    with tempfile.TemporaryDirectory() as work:
        os.makedirs(work + "/src")
        receiver = subprocess.Popen([sys.executable, root + "/tools/receiver/receiver.py", "--record-dir", work + "/rec",
                                     "--port-file", work + "/port", "--timeout", "600"], stdout=subprocess.DEVNULL)
        try:
            while not os.path.exists(work + "/port") or not open(work + "/port").read():
                time.sleep(0.1)
            port = open(work + "/port").read().strip()
            env = dict(os.environ, ZT_KIT_URL=f"http://127.0.0.1:{port}/upload", LANG="ko_KR.UTF-8",
                       LC_ALL="ko_KR.UTF-8", ZT_KIT_WORK="Z:" + work.replace("/", "\\") + "\\src")
            subprocess.run([root + "/scripts/wine-exec", arch, program], env=env, check=True)
        finally:
            receiver.terminate()
            receiver.wait()
        expected = json.load(open(work + "/src/expected.json", encoding="utf-8"))
        assert len(expected) == len(ways), len(expected)
        for n, (way, want) in enumerate(zip(ways, expected), 1):
            for row in want["rows"]:
                if row["file"]:
                    data = open(row["file"].pop("source").replace("Z:", "", 1).replace("\\", "/"), "rb").read()
                    row["file"] = {"size": len(data), "sha256": hashlib.sha256(data).hexdigest()}
            base = os.path.join(out, "%02d-%s" % (n, way))
            with open(base + ".http", "wb") as f:
                f.write(open(f"{work}/rec/{n}.raw", "rb").read())
            with open(base + ".json", "w", encoding="utf-8") as f:
                json.dump(want, f, ensure_ascii=False, indent=1)
                f.write("\n")

if sys.argv[1] != "hostile":
    capture(sys.argv[1], sys.argv[2])

# Hostile requests: each must be refused before anything is stored.
B = "0f0e0d0c-0b0a-4908-8706-050403020100"
def request(parts, utf8=True, cut=0):
    body = b""
    for name, data, filename in parts:
        body += b"--" + B.encode() + b"\r\nContent-Disposition: form-data; name=\"" + name + b"\""
        body += (b"; filename=\"" + filename + b"\"\r\nContent-Type: application/octet-stream" if filename else b"")
        body += b"\r\n\r\n" + data + b"\r\n"
    body += b"--" + B.encode() + b"--\r\n"
    body = body[:len(body) - cut]  # a body that stops inside its last file
    head = ("POST /upload HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data; boundary=%s\r\n"
            "Accept-Language: %s\r\nContent-Length: %d\r\n\r\n" % (B, "utf-8" if utf8 else "ko", len(body)))
    return head.encode() + body

def upload(rows, files, **kw):
    manifest = b"Type|FileName|Size|\r\n" + b"".join(r + b"\r\n" for r in rows)
    return request([(b"_ZTUInfo", manifest, None)] + [(n, d, n) for n, d in files], **kw)

hostile = {
    "forged-row": (upload([b"N|a.txt|5|"], [(b"a.txt", b"abcde"), (b"x.php", b"<?php")]), "unlisted-file"),
    "forged-type": (upload([b"X|a.txt|5|"], [(b"a.txt", b"abcde")]), "bad-manifest"),
    "size-mismatch": (upload([b"N|a.txt|3|"], [(b"a.txt", b"abcde")]), "size-mismatch"),
    "sender-path": (upload([b"N|..\\..\\x.php|5|"], [(b"..\\..\\x.php", b"<?php")]), "bad-name"),
    "sender-slash": (upload([b"N|../x.php|5|"], [(b"../x.php", b"<?php")]), "bad-name"),
    "twin-names": (upload([b"N|a.txt|5|", b"N|A.TXT|5|"], [(b"a.txt", b"abcde")]), "duplicate-name"),
    "not-utf8": (upload([b"N|\xb0\xa1.txt|5|"], [(b"\xb0\xa1.txt", b"abcde")]), "bad-encoding"),
    "cut-short": (upload([b"N|a.txt|5|"], [(b"a.txt", b"abcde")], cut=46), "incomplete"),
}
for name, (raw, reason) in hostile.items():
    with open(os.path.join(out, "x-%s.http" % name), "wb") as f:
        f.write(raw)
    with open(os.path.join(out, "x-%s.json" % name), "w") as f:
        f.write(json.dumps({"error": reason}) + "\n")

# U rows (a server file replaced by a local one) come from no control of this
# version, but a kit must take them: one made by hand.
with open(os.path.join(out, "x-replaced.http"), "wb") as f:
    f.write(upload([b"U|a.txt|5|", b"V|b.txt|9|"], [(b"a.txt", b"abcde")]))
with open(os.path.join(out, "x-replaced.json"), "w") as f:
    row = lambda t, n, s, file: {"type": t, "name": n, "size": s, "attributes": {}, "file": file}
    json.dump({"encoding": "utf-8", "fields": [], "manifest": True, "attributes": [], "rows": [
        row("U", "a.txt", 5, {"size": 5, "sha256": hashlib.sha256(b"abcde").hexdigest()}),
        row("V", "b.txt", 9, None)]}, f, indent=1)
    f.write("\n")

# The POST after files went by tus (resumable/): each names its upload by id;
# "uploads" are what the test puts in the kit's tus store first.
A = b"24e533e02ec3bc40c387f1a0e460e216"
def resumable(listed, files, rows=(b"N|a.txt|5|", b"N|b.txt|3|", b"V|c.txt|9|"), first=False):
    manifest = (b"_ZTUInfo", b"Type|FileName|Size|\r\n" + b"".join(r + b"\r\n" for r in rows), None)
    named = (b"_ZTUResumable", b"".join(r + b"\r\n" for r in listed), None)
    texts = [named, manifest] if first else [manifest, named]
    return request([(b"title", b"Hello", None)] + texts + [(n, d, n) for n, d in files])
store = lambda data, length=5: {A.decode(): {"length": length, "data": data}}
plain = [(b"a.txt", b""), (b"b.txt", b"xyz")]
cases = {
    "taken": (resumable([b"a.txt|" + A + b"|"], plain), store("abcde"), None),
    "unfinished": (resumable([b"a.txt|" + A + b"|"], plain), store("abc"), "incomplete"),
    "unknown": (resumable([b"a.txt|" + A + b"|"], plain), {}, "unknown-upload"),
    "path-id": (resumable([b"a.txt|../" + A + b"|"], plain), store("abcde"), "bad-manifest"),
    "one-for-two": (resumable([b"a.txt|" + A + b"|", b"b.txt|" + A + b"|"], [(b"a.txt", b""), (b"b.txt", b"")],
                              rows=(b"N|a.txt|5|", b"N|b.txt|5|")), store("abcde"), "duplicate-file"),
    "bytes-too": (resumable([b"a.txt|" + A + b"|"], [(b"a.txt", b"abcde")]), store("abcde"), "size-mismatch"),
    "other-length": (resumable([b"a.txt|" + A + b"|"], plain), store("abcd", 4), "size-mismatch"),
    "before-manifest": (resumable([b"a.txt|" + A + b"|"], plain, first=True), store("abcde"), "bad-manifest"),
}
os.makedirs(os.path.join(out, "resumable"), exist_ok=True)
for name, (raw, uploads, reason) in cases.items():
    with open(os.path.join(out, "resumable", "%s.http" % name), "wb") as f:
        f.write(raw)
    sha = lambda b: hashlib.sha256(b).hexdigest()
    row = lambda t, n, s, file: {"type": t, "name": n, "size": s, "attributes": {}, "file": file}
    result = {"error": reason, "status": 400} if reason else {
        "encoding": "utf-8", "fields": [{"name": "title", "value": "Hello"}], "manifest": True, "attributes": [],
        "rows": [row("N", "a.txt", 5, {"size": 5, "sha256": sha(b"abcde")}),
                 row("N", "b.txt", 3, {"size": 3, "sha256": sha(b"xyz")}), row("V", "c.txt", 9, None)]}
    with open(os.path.join(out, "resumable", "%s.json" % name), "w") as f:
        json.dump({"uploads": uploads, **result}, f, ensure_ascii=False)
        f.write("\n")
