#!/usr/bin/env python3
"""check_accounts.py <expected.json> <uploads folder>
Holds what a kit's example wrote (one <id>.json per request, in arrival
order) against what the page sent; every stored file must hold exactly the
bytes of its source."""
import hashlib, json, os, sys

expected = json.load(open(sys.argv[1], encoding="utf-8"))
folder = sys.argv[2]
names = sorted(n for n in os.listdir(folder) if n.endswith(".json"))
failures = []
if len(names) != len(expected):
    failures.append(f"{len(names)} requests recorded, {len(expected)} sent")
for n, (name, want) in enumerate(zip(names, expected), 1):
    got = json.load(open(os.path.join(folder, name), encoding="utf-8"))
    for row in want["rows"]:
        if row["file"]:
            source = row["file"].pop("source").replace("Z:", "", 1).replace("\\", "/")
            data = open(source, "rb").read()
            row["file"] = {"size": len(data), "sha256": hashlib.sha256(data).hexdigest()}
            row["stored"] = row["file"]["sha256"]
    for row in got["rows"]:
        if row["file"]:
            stored = open(os.path.join(folder, row["file"].pop("stored")), "rb").read()
            row["stored"] = hashlib.sha256(stored).hexdigest()
    if got != want:
        failures.append(f"request {n}:\n  sent     {want}\n  received {got}")
for f in failures:
    print("check_accounts:", f, file=sys.stderr)
print(f"check_accounts: {len(names)} requests, {'OK' if not failures else 'FAILED'}")
sys.exit(1 if failures else 0)
