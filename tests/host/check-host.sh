#!/usr/bin/env bash
# Runs ztupload-host (through the Wine emulator) and checks how it ended:
#   check-host.sh [--exit N] [--out RE] [--no-out RE] [--err RE] [--log RE]
#                 [--bmp WxH] -- <emulator...> ztupload-host.exe args...
# In the host's arguments @LOG@ and @BMP@ stand for a log file and a
# screenshot file in a fresh directory; @DIR@ for that directory (as Z:).
# --log checks the UTF-16 log decoded to UTF-8; --bmp checks the BMP header.
set -uo pipefail
want_exit=0 outs=() no_outs=() errs=() logs=() bmp=""
while [ $# -gt 0 ]; do
  case "$1" in
    --exit) want_exit=$2; shift 2 ;;
    --out) outs+=("$2"); shift 2 ;;
    --no-out) no_outs+=("$2"); shift 2 ;;
    --err) errs+=("$2"); shift 2 ;;
    --log) logs+=("$2"); shift 2 ;;
    --bmp) bmp=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "check-host: unknown option $1" >&2; exit 2 ;;
  esac
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
args=()
for a in "$@"; do
  a=${a//@LOG@/Z:$dir/log.txt}
  a=${a//@BMP@/Z:$dir/shot.bmp}
  a=${a//@DIR@/Z:$dir}
  args+=("$a")
done
"${args[@]}" >"$dir/out" 2>"$dir/err"
rc=$?
fail=0
complain() { echo "check-host: $*" >&2; fail=1; }
[ "$rc" -eq "$want_exit" ] || complain "exit code $rc, wanted $want_exit"
for re in "${outs[@]}"; do grep -Eq -- "$re" "$dir/out" || complain "stdout lacks /$re/"; done
for re in "${no_outs[@]}"; do ! grep -Eq -- "$re" "$dir/out" || complain "stdout has /$re/"; done
for re in "${errs[@]}"; do grep -Eq -- "$re" "$dir/err" || complain "stderr lacks /$re/"; done
if [ ${#logs[@]} -gt 0 ]; then
  if [ ! -s "$dir/log.txt" ]; then
    complain "no log written"
  else
    head -c 2 "$dir/log.txt" | od -An -tx1 | grep -q 'ff fe' || complain "log has no UTF-16 LE signature"
    iconv -f UTF-16 -t UTF-8 "$dir/log.txt" >"$dir/log.utf8" || complain "log is not UTF-16"
    for re in "${logs[@]}"; do grep -Eq -- "$re" "$dir/log.utf8" || complain "log lacks /$re/"; done
  fi
fi
if [ -n "$bmp" ]; then
  if [ ! -s "$dir/shot.bmp" ]; then
    complain "no screenshot written"
  else
    # BMP header: "BM", then width and height (little-endian) at 18 and 22.
    magic=$(head -c 2 "$dir/shot.bmp")
    w=$(od -An -t d4 -j 18 -N 4 "$dir/shot.bmp" | tr -d ' ')
    h=$(od -An -t d4 -j 22 -N 4 "$dir/shot.bmp" | tr -d ' ')
    [ "$magic" = BM ] || complain "screenshot is not a BMP"
    want_w=${bmp%x*} want_h=${bmp#*x}
    # The window frame adds to the client size.
    [ "$w" -ge "$want_w" ] && [ "$h" -ge "$want_h" ] || complain "screenshot is ${w}x$h, smaller than $bmp"
  fi
fi
if [ $fail -ne 0 ]; then
  echo "--- stdout"; cat "$dir/out"; echo "--- stderr"; cat "$dir/err"
  [ -f "$dir/log.utf8" ] && { echo "--- log"; cat "$dir/log.utf8"; }
fi
exit $fail
