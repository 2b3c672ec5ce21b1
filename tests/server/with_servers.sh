#!/usr/bin/env bash
# with_servers.sh <win32|win64> <program> <report folder>
# Runs the end-to-end program once against each server kit's example: the
# PHP page under `php -S`, the Node http example, then the Java example on
# Jetty. Each first gets a forged request, which must be refused with 400 and
# store nothing. The program finds the server through ZT_KIT_URL (its
# resumable endpoint through ZT_KIT_TUS) and writes its files and expected.json into
# ZT_KIT_WORK; check_accounts.py then holds the server's records against it.
# A round Wine spoiled is run once more against a fresh server and folder.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
arch=$1 program=$2 reports=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/zt-kits.XXXXXX")
server=""
stop() {
  [ -z "$server" ] || { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; }
  server=""
}
trap 'stop; rm -rf "$work"' EXIT

# Korean file names reach the host's file system only through a Korean
# locale: the control's gets one made for this run alone.
mkdir -p "$work/locale" && localedef -i ko_KR -f UTF-8 "$work/locale/ko_KR.UTF-8" 2>/dev/null

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# One kit's round against a fresh server: 0, 1, or 75 when Wine spoiled the
# program's run (wine-exec), whose requests the server has partly recorded.
round() {
  local kit=$1 port path rc=0
  rm -rf "${work:?}/$kit"
  mkdir -p "$work/$kit/src" "$work/$kit/up"
  port=$(free_port)
  case $kit in
    php) ZTUPLOAD_DIR="$work/$kit/up" php -d enable_post_data_reading=0 -S "127.0.0.1:$port" -t "$root/server/php" "$root/server/php/receive.php" \
           >"$work/$kit/server.log" 2>&1 &
         path=/receive.php ;;
    node) ZTUPLOAD_DIR="$work/$kit/up" PORT=$port node "$root/server/node/examples/http-server.js" \
           >"$work/$kit/server.log" 2>&1 &
         path=/upload ;;
    java) ZTUPLOAD_DIR="$work/$kit/up" PORT=$port "$root/server/java/run-example" >"$work/$kit/server.log" 2>&1 &
         path=/upload ;;
  esac
  server=$!
  for _ in $(seq 600); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
  echo "== $kit example on port $port"
  python3 - "$port" "$path" "$root/server/fixtures/x-forged-row.http" "$work/$kit/up" <<'PY' || rc=1
import os, socket, sys
port, path, fixture, up = sys.argv[1:]
request = open(fixture, "rb").read().replace(b"POST /upload ", b"POST " + path.encode() + b" ", 1)
with socket.create_connection(("127.0.0.1", int(port))) as s:
    s.sendall(request)
    reply = b"".join(iter(lambda: s.recv(65536), b""))
left = [n for n in os.listdir(up) if not n.startswith(".")] if os.path.isdir(up) else []
if b" 400 " not in reply.split(b"\r\n", 1)[0] or left:
    sys.exit(f"with_servers: a forged request was not refused cleanly: {reply[:60]!r}, left {left}")
PY
  ZT_WINE_RERUN=runner LOCPATH="$work/locale" ZT_KIT_URL="http://127.0.0.1:$port$path" ZT_KIT_TUS="http://127.0.0.1:$port/tus/" \
    ZT_KIT_WORK="Z:${work//\//\\}\\$kit\\src" \
    "$root/scripts/wine-exec" "$arch" "$program" "--gtest_output=xml:$reports/zt_server_kit_tests_$kit.xml"
  case $? in
    0) ;;
    75) stop; return 75 ;;
    *) rc=1 ;;
  esac
  python3 "$here/check_accounts.py" "$work/$kit/src/expected.json" "$work/$kit/up" || rc=1
  [ $rc -eq 0 ] || { echo "with_servers: the $kit server's log:" >&2; tail -n 20 "$work/$kit/server.log" >&2; }
  stop
  return $rc
}

status=0
for kit in php node java; do
  round "$kit"; rc=$?
  if [ $rc -eq 75 ]; then
    echo "with_servers: the $kit round again, against a fresh server" >&2
    round "$kit"; rc=$?
    [ $rc -ne 75 ] || echo "with_servers: Wine spoiled the $kit round twice" >&2
  fi
  [ $rc -eq 0 ] || status=1
done
exit $status
