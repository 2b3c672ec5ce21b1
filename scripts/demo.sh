#!/usr/bin/env bash
# The main job, end to end: the loopback receiver, the control in a window of
# the script host, a real upload, and what the server received.
# Usage: scripts/demo.sh  (./run demo builds the win64 tree first; ZT_TREE
# names another win64 build tree, as the test of the demo does)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=${ZT_TREE:-$root/${ZT_BUILD_ROOT:-build}/win64}
host=$tree/tools/host/ztupload-host.exe
module=$tree/bin/ZTFileUpload.ocx
for f in "$host" "$module"; do
  [ -f "$f" ] || { echo "demo: $f is missing; run ./run demo" >&2; exit 1; }
done
winpath() { echo "Z:${1//\//\\}"; }

out=$tree/demo
rm -rf "$out"
mkdir -p "$out/files" "$out/received"
printf 'Hello from ZTFileUpload.\r\n\xec\x95\x88\xeb\x85\x95\xed\x95\x98\xec\x84\xb8\xec\x9a\x94.\r\n' >"$out/files/hello.txt"
{ echo "quarter,sales"; for q in 1 2 3 4; do echo "Q$q,$((q * 1250))"; done; } >"$out/files/report.csv"
head -c 3000000 /dev/urandom >"$out/files/photos.bin"

python3 "$root/tools/receiver/receiver.py" --record-dir "$out/received" --port-file "$out/port" \
  --status 200 --body "$(printf '\xec\x9e\x98 \xeb\xb0\x9b\xec\x95\x98\xec\x8a\xb5\xeb\x8b\x88\xeb\x8b\xa4')" \
  --encoding utf-8 --timeout 300 >"$out/receiver.log" 2>&1 &
receiver=$!
xvfb=""
cleanup() {
  kill "$receiver" 2>/dev/null || true
  wait "$receiver" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$out/port" ] && break; sleep 0.1; done
[ -s "$out/port" ] || { echo "demo: the receiver did not start" >&2; cat "$out/receiver.log" >&2; exit 1; }
port=$(cat "$out/port")

# The control's <param> values, as a page would give them.
cat >"$out/params.txt" <<PARAMS
URL=http://127.0.0.1:$port/upload/receive.asp
UTF8=1
ListType=1
PARAMS

if [ -z "${DISPLAY:-}" ]; then
  n=90
  while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
fi

source "$root/scripts/wine-env.sh" win64
"$root/scripts/wine-prefix.sh" win64 >/dev/null
export ZT_DEMO_FILES=$(winpath "$out/files")
export ZT_DEMO_PROGRESS=$(winpath "$out/progress.bmp")

echo "== the control in the script host (receiver on 127.0.0.1:$port)"
status=0
# The Korean locale, as the control's users have it: the list's Korean
# column titles need the Korean system font.
LANG=ko_KR.UTF-8 LC_ALL=ko_KR.UTF-8 "$ZT_WINE_LOADER" "$host" --dll "$(winpath "$module")" --params "$(winpath "$out/params.txt")" \
  --size 640x360 --screenshot "$(winpath "$out/window.bmp")" "$(winpath "$root/demo/upload-demo.js")" || status=$?

echo
echo "== what the receiver got"
python3 - "$out/received" <<'PY'
import glob, json, os, sys
for path in sorted(glob.glob(os.path.join(sys.argv[1], "*.json")), key=lambda p: int(os.path.basename(p).split(".")[0])):
    a = json.load(open(path, encoding="utf-8"))
    print("request %s: %s, %s bytes declared, %s received" % (
        os.path.basename(path).split(".")[0], a.get("request_line", "?"), a.get("content_length"), a.get("body_bytes")))
    for p in a.get("parts", []):
        if p.get("filename") is not None:
            print("  file  %-12s %6d bytes" % (p["filename"], p["size"]))
        elif p["name"] != "_ZTUInfo":
            print("  field %-12s = %s" % (p["name"], p.get("text", "")))
    m = a.get("manifest")
    if m:
        print("  manifest: " + " | ".join(m["header"]["fields"]) if m.get("header") else "  manifest:")
        for r in m["rows"]:
            print("    " + " | ".join(r["fields"]))
PY

echo
for shot in window progress; do
  if [ -f "$out/$shot.bmp" ] && command -v convert >/dev/null; then
    convert "$out/$shot.bmp" "$out/$shot.png" && echo "screenshot: $out/$shot.png"
  fi
done
[ -f "$out/progress.bmp" ] || { echo "demo: no screenshot of the progress dialog" >&2; status=1; }
exit $status
