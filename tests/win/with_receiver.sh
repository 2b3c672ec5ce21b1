#!/usr/bin/env bash
# with_receiver.sh <win32|win64> <program> [args...]
# Runs a Windows test program under Wine with a loopback receiver beside it.
# The program finds the receiver through ZT_RECEIVER_PORT and reads its
# records from ZT_RECEIVER_DIR (a Windows path). With ZT_RECEIVER_TLS=1 the
# receiver also serves TLS with fresh certificates (make_tls_certs.sh):
# ZT_RECEIVER_TLS_PORTS lists the ports of the trusted certificate, the one
# from an unknown authority and the one for another name; ZT_RECEIVER_TLS_CA
# is the authority, which the machine's ROOT store of the prefix trusts
# while the program runs (trust_authority.exe, named by ZT_TRUST_TOOL).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
arch=$1; shift

work=$(mktemp -d "${TMPDIR:-/tmp}/zt-receiver.XXXXXX")
tls=()
if [ "${ZT_RECEIVER_TLS:-0}" = 1 ]; then
  "$here/make_tls_certs.sh" "$work/tls" || { echo "with_receiver: no certificates" >&2; exit 1; }
  for name in good stranger elsewhere; do tls+=(--tls "$work/tls/$name.pem" "$work/tls/$name.key"); done
  tls+=(--tls-port-file "$work/tls-ports")
fi
python3 "$root/tools/receiver/receiver.py" --record-dir "$work/rec" --port-file "$work/port" "${tls[@]}" \
  --trace --timeout "${ZT_TEST_TIMEOUT:-600}" >"$work/receiver.log" 2>&1 &
receiver=$!
stop() {
  [ ${#tls[@]} -eq 0 ] || "$root/scripts/wine-exec" "$arch" "$ZT_TRUST_TOOL" remove "$work/tls/ca.der" >/dev/null 2>&1
  kill "$receiver" 2>/dev/null
  wait "$receiver" 2>/dev/null
  rm -rf "$work"
}
trap stop EXIT

for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
if [ ! -s "$work/port" ]; then
  echo "with_receiver: the receiver did not start" >&2
  cat "$work/receiver.log" >&2
  exit 1
fi
export ZT_RECEIVER_PORT=$(cat "$work/port")
export ZT_RECEIVER_DIR="Z:${work//\//\\}\\rec"
if [ ${#tls[@]} -gt 0 ]; then
  export ZT_RECEIVER_TLS_PORTS=$(paste -sd, "$work/tls-ports")
  export ZT_RECEIVER_TLS_CA="Z:${work//\//\\}\\tls\\ca.der"
  # In a process before the program's: WinINet's chain engine reads the
  # machine's authorities when a process starts.
  "$root/scripts/wine-exec" "$arch" "$ZT_TRUST_TOOL" add "$ZT_RECEIVER_TLS_CA" ||
    { echo "with_receiver: the test authority could not be trusted" >&2; exit 1; }
fi
"$root/scripts/wine-exec" "$arch" "$@"
rc=$?
if [ "$rc" -ne 0 ]; then
  echo "with_receiver: the receiver's last words:" >&2
  tail -n 40 "$work/receiver.log" >&2
fi
exit "$rc"
