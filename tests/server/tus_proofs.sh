#!/usr/bin/env bash
# tus_proofs.sh <win32|win64> <program> <report folder>
# Starts the Node kit's example behind cutting_proxy.py, runs the program's
# resumable posts through it, then holds every stored file against its source
# by hash. Big files: the folder is removed at the end whatever happened.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
arch=$1 program=$2 reports=$3
shift 3  # the rest goes to the program

work=$(mktemp -d "${TMPDIR:-/tmp}/zt-tus.XXXXXX")
proxy=""
trap '[ -z "$proxy" ] || kill "$proxy" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/up"
# Random bytes: a chunk sent to the wrong offset changes the hash.
head -c $((512 << 20)) /dev/urandom >"$work/src/cut.bin"
head -c $((300 << 20)) /dev/urandom >"$work/src/again.bin"
truncate -s $(((4 << 30) + (3 << 20) + 17)) "$work/src/sparse.bin"

ZTUPLOAD_DIR="$work/up" python3 "$root/tools/cutting-proxy/cutting_proxy.py" "$work/ports" -- node "$root/server/node/examples/http-server.js" \
  >"$work/server.log" 2>&1 &
proxy=$!
for _ in $(seq 600); do [ -f "$work/ports" ] && break; sleep 0.1; done
read -r port control <"$work/ports" || { echo "tus_proofs: the proxy did not start" >&2; cat "$work/server.log" >&2; exit 1; }

status=0
ZT_TUS_PROXY="http://127.0.0.1:$port" ZT_TUS_CONTROL=$control ZT_TUS_WORK="Z:${work//\//\\}\\src" \
  "$root/scripts/wine-exec" "$arch" "$program" "--gtest_output=xml:$reports/zt_tus_proofs_$arch.xml" "$@" || status=1

python3 - "$work/src" "$work/up" <<'PY' || status=1
import hashlib, json, os, sys
src, up = sys.argv[1:]
def sha(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 22), b""):
            h.update(block)
    return h.hexdigest()
stored = set()
for name in os.listdir(up):
    if name.endswith(".json"):
        for row in json.load(open(os.path.join(up, name), encoding="utf-8"))["rows"]:
            if row.get("file"):
                stored.add((row["file"]["sha256"], row["file"]["size"], sha(os.path.join(up, row["file"]["stored"]))))
missing = []
for n in sorted(os.listdir(src)):
    digest, size = sha(os.path.join(src, n)), os.path.getsize(os.path.join(src, n))
    if not any(s[0] == s[2] == digest and s[1] == size for s in stored):
        missing.append(n)
print(f"tus_proofs: {len(os.listdir(src))} files posted, {len(stored)} stored, missing or damaged: {missing or 'none'}")
sys.exit(1 if missing else 0)
PY
[ $status -eq 0 ] || { echo "tus_proofs: the server's log:" >&2; tail -n 30 "$work/server.log" >&2; }
exit $status
