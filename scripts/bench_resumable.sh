#!/usr/bin/env bash
# The resumable transport's cost: PostFile of one file to the Node kit's
# example by tus (ResumableURL set) and in one request, in three pairs side by
# side; the median pair's ratio counts. Called by bench.sh.
# Usage: scripts/bench_resumable.sh <tree> <size in MiB>
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=$1 mib=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/zt-bench-tus.XXXXXX")
node=""
trap '[ -z "$node" ] || kill "$node" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/up"
ZTUPLOAD_DIR="$work/up" PORT=$port node "$root/server/node/examples/http-server.js" >"$work/node.log" 2>&1 &
node=$!
for _ in $(seq 300); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
head -c $((mib * 1048576)) /dev/urandom >"$work/big.bin"
win() { echo "Z:${1//\//\\}"; }
post() {  # mode: prints seconds, or fails unless the example answered 200
  local out
  out=$("$ZT_WINE_LOADER" "$tree/tools/bench/zt_control_post.exe" "$(win "$tree/bin/ZTFileUpload.ocx")" "$port" \
        "$(win "$work/big.bin")" "$1")
  rm -rf "$work/up"/*
  grep -q ' status 200 ' <<<"$out" || { echo "bench: the $1 post failed: $out" >&2; tail -5 "$work/node.log" >&2; exit 1; }
  sed -n -E 's/.*seconds ([0-9.]+).*/\1/p' <<<"$out"
}
for pair in 1 2 3; do
  single=$(post node)
  tus=$(post tus)
  awk -v s="$single" -v t="$tus" -v m="$mib" 'BEGIN {
    printf "PostFile of %d MiB to the Node example: one request %.3f s (%.1f MiB/s), by tus %.3f s (%.1f MiB/s)\n", m, s, m / s, t, m / t }'
  awk -v s="$single" -v t="$tus" 'BEGIN { printf "%.4f\n", (t > 0 ? s / t : 0) }' >>"$work/ratios"
done
sort -n "$work/ratios" | sed -n 2p |
  awk '{ printf "tus / one request throughput, median of 3 pairs: %.2f (wanted: at least 0.9)\n", $1 }'
