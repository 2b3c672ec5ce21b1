#!/usr/bin/env bash
# site_lock.sh <win32|win64> <ztupload-host.exe> <ocx as a Windows path> <script as a Windows path>
# The site lock as a browser meets it: the host presents a page URL (or a
# container without one) and the control accepts or refuses IObjectSafety
# under the allow-lists in HKLM and HKCU. Runs in a Wine prefix of its own,
# so the lists never reach another test's control.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
arch=$1 host=$2 ocx=$3 script=$4
source "$root/scripts/wine-env.sh" "$arch"
"$root/scripts/wine-prefix.sh" "$arch" >/dev/null || { echo "site_lock: no Wine prefix" >&2; exit 1; }

machine='HKLM\Software\ZTFileUpload\AllowedSites'
user='HKCU\Software\ZTFileUpload\AllowedSites'
policy='HKLM\Software\Policies\ZTFileUpload\AllowedSites'
reg() { "$ZT_WINE_LOADER" reg "$@" >/dev/null 2>&1; }
no_lists() { reg delete "$machine" /f; reg delete "$user" /f; reg delete "$policy" /f; }
list() {  # key entries...: the key exists, holding exactly these entries
  local key=$1; shift
  reg delete "$key" /f
  reg add "$key" /f
  local i=0
  for entry in "$@"; do reg add "$key" /v "site$i" /t REG_SZ /d "$entry" /f; i=$((i + 1)); done
}
trap no_lists EXIT

failures=0 runs=0
expect() {  # allowed|refused what host-page-options...
  local want=$1 what=$2; shift 2
  local out rc
  out=$(timeout 120 "$ZT_WINE_LOADER" "$host" --dll "$ocx" --params "$params" "$@" "$script" 2>&1)
  rc=$?
  runs=$((runs + 1))
  local got=refused
  if [ $rc -eq 0 ] && grep -q '^scripted Port 8080$' <<<"$out"; then
    got=allowed
  elif [ $rc -ne 4 ] || ! grep -q 'not safe to initialise on this page' <<<"$out" || grep -q scripted <<<"$out"; then
    got="exit $rc: $out"
  fi
  printf '%-8s %-55s %s\n' "$got" "$what" "$*"
  [ "$got" = "$want" ] || { echo "site_lock: wanted $want" >&2; failures=$((failures + 1)); }
}

work=$(mktemp -d)
trap 'no_lists; rm -rf "$work"' EXIT
printf 'Port=8080\n' >"$work/params.txt"
params="Z:$work/params.txt"

no_lists
expect allowed "no list: every page, as before" --page-url https://anywhere.example/page.html
expect allowed "no list: a container naming no page" --no-page-url

list "$machine" "https://upload.example.com" "http://*.corp.example:8080" "not an entry"
expect allowed "machine list: the origin listed" --page-url "https://Upload.Example.com/app/page.asp?x=1"
expect refused "machine list: another host" --page-url https://evil.example/
expect refused "machine list: the listed host under plain HTTP" --page-url http://upload.example.com/
expect refused "machine list: the listed name inside another" --page-url "https://upload.example.com.evil.example/"
expect refused "machine list: the listed name as user information" --page-url "https://upload.example.com@evil.example/"
expect allowed "machine list: a subdomain on the listed port" --page-url http://a.b.corp.example:8080/x
expect refused "machine list: a subdomain on another port" --page-url http://a.corp.example/x
expect refused "machine list: the wildcard's own name" --page-url http://corp.example:8080/x
expect refused "machine list: a file page" --page-url "file:///C:/pages/upload.html"
expect refused "machine list: a container naming no page" --no-page-url
list "$machine" "https://upload.example.com; http://*.corp.example:8080;"
expect allowed "machine list: one value holding entries split at ';'" --page-url http://a.corp.example:8080/x
expect refused "machine list: the split entries and nothing else" --page-url https://evil.example/
list "$user" "file:" "nopage:"
expect allowed "user list adds file pages" --page-url "file:///C:/pages/upload.html"
expect refused "file: is this machine's drives, not a share" --page-url "file://evil.example/share/page.html"
expect allowed "user list adds containers naming no page" --no-page-url
list "$policy" "https://policy.example"
expect allowed "a policy list admits its sites" --page-url https://policy.example/
expect refused "a policy list is the whole lock: the machine's" --page-url "https://upload.example.com/"
expect refused "a policy list is the whole lock: the user's" --page-url "file:///C:/pages/upload.html"
no_lists
list "$user"
expect refused "an empty user list allows nothing" --page-url https://upload.example.com/

echo "site_lock: $runs cases, $failures failed"
[ $failures -eq 0 ]
