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
for n in 40 24 6; do head -c $((n << 20)) /dev/urandom >"$work/src/w$n.bin"; done
truncate -s $(((4 << 30) + (3 << 20) + 17)) "$work/src/sparse.bin"

ZTUPLOAD_DIR="$work/up" python3 "$root/tools/cutting-proxy/cutting_proxy.py" "$work/ports" -- node "$root/server/node/examples/http-server.js" \
  >"$work/server.log" 2>&1 &
proxy=$!
for _ in $(seq 600); do [ -f "$work/ports" ] && break; sleep 0.1; done
read -r port control <"$work/ports" || { echo "tus_proofs: the proxy did not start" >&2; cat "$work/server.log" >&2; exit 1; }

status=0
ZT_TUS_PROXY="http://127.0.0.1:$port" ZT_TUS_CONTROL=$control ZT_TUS_WORK="Z:${work//\//\\}\\src" \
  "$root/scripts/wine-exec" "$arch" "$program" "--gtest_output=xml:$reports/zt_tus_proofs_$arch.xml" "$@" || status=1

# Each source must be stored whole: its hash among the stored files'.
stored=$(find "$work/up" -type f ! -name '*.json' ! -path '*/.tus/*' -exec sha256sum {} + | cut -d' ' -f1)
for f in "$work"/src/*; do
  grep -qx "$(sha256sum <"$f" | cut -d' ' -f1)" <<<"$stored" ||
    { echo "tus_proofs: $(basename "$f") was not stored whole" >&2; status=1; }
done
[ $status -eq 0 ] || { echo "tus_proofs: the server's log:" >&2; tail -n 30 "$work/server.log" >&2; }
exit $status
