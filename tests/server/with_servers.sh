#!/usr/bin/env bash
# with_servers.sh <win32|win64> <program> <report folder>
# Runs the end-to-end program once against each server kit's example: the
# PHP page under `php -S`, then the Node http example. The program finds the
# server through ZT_KIT_URL and writes its files and expected.json into
# ZT_KIT_WORK; check_accounts.py then holds the server's records against it.
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

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

status=0
for kit in php node; do
  mkdir -p "$work/$kit/src" "$work/$kit/up"
  port=$(free_port)
  case $kit in
    php) ZTUPLOAD_DIR="$work/$kit/up" php -d enable_post_data_reading=0 -S "127.0.0.1:$port" -t "$root/server/php" "$root/server/php/receive.php" \
           >"$work/$kit/server.log" 2>&1 &
         path=/receive.php ;;
    node) ZTUPLOAD_DIR="$work/$kit/up" PORT=$port node "$root/server/node/examples/http-server.js" \
           >"$work/$kit/server.log" 2>&1 &
         path=/upload ;;
  esac
  server=$!
  for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
  echo "== $kit example on port $port"
  ZT_KIT_URL="http://127.0.0.1:$port$path" ZT_KIT_WORK="Z:${work//\//\\}\\$kit\\src" \
    "$root/scripts/wine-exec" "$arch" "$program" "--gtest_output=xml:$reports/zt_server_kit_tests_$kit.xml" || status=1
  python3 "$here/check_accounts.py" "$work/$kit/src/expected.json" "$work/$kit/up" || status=1
  [ $status -eq 0 ] || { echo "with_servers: the $kit server's log:" >&2; tail -n 20 "$work/$kit/server.log" >&2; }
  stop
done
exit $status
