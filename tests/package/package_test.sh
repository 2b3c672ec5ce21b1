#!/usr/bin/env bash
# package_test.sh <win32|win64> <build tree> <ztupload-host.exe>
# The deliverables as an administrator and a page meet them: packages made
# from the tree and signed, installed, upgraded and removed with Wine's
# msiexec, the cabinet installed through setupapi, and the control each
# install leaves created by its ProgID. Runs in a Wine prefix of its own
# (installs are machine state, and the machine's site lock would refuse
# other tests' pages); the prefix is left as it was found (a run that
# fails has the next one make it afresh).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
arch=$1 tree=$(cd "$2" && pwd) host=$3
export ZT_WINE_ROOT=$tree/wine-package
source "$root/scripts/wine-env.sh" "$arch"
# A run that did not pass, killed ones too, leaves this mark and maybe an
# install: the next run makes the prefix afresh.
dirty=$WINEPREFIX.dirty
[ ! -e "$dirty" ] || { wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX" "$dirty"; }
"$root/scripts/wine-prefix.sh" "$arch" >/dev/null || { echo "package_test: no Wine prefix" >&2; exit 1; }
drive_c=$WINEPREFIX/drive_c

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok (${SECONDS}s): $*"; }
check() {  # what command...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
wine() { timeout 120 "$ZT_WINE_LOADER" "$@"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zt-package-test.XXXXXX")
receiver=""
cleanup() {
  [ -z "$receiver" ] || { kill "$receiver" 2>/dev/null; wait "$receiver" 2>/dev/null; }
  rm -rf "$work" "$drive_c/zt-cab"
  [ "$failures" -ne 0 ] || rm -f "$dirty"
}
trap cleanup EXIT

site_a=https://upload.example.com site_b='http://*.corp.example:8080'
# The run's own throwaway signer, apart from ./run package's.
export ZT_TEST_SIGNER_DIR=$work/signer
source "$tree/package.env"
IFS=. read -r major minor patch <<<"$ZT_VERSION"
next=$major.$minor.$((patch + 1))
pkg=$ZT_ARCH

# --- Packages, signatures and the one version ------------------------------
"$root/scripts/package.sh" --tree "$tree" --out "$work/dist" --allow-site "$site_a" --allow-site "$site_b" \
  >"$work/package.log" 2>&1 || { cat "$work/package.log"; echo "package_test: packaging failed" >&2; exit 1; }
check "the packager says loudly that a throwaway authority signed" grep -q "FOR TESTING ONLY" "$work/package.log"
for bad in 'https://a.example",0,"x' 'file:' 'nopage:'; do
  check "a site that is no web origin ($bad) stops the packager" \
    bash -c "'$root/scripts/package.sh' --tree '$tree' --out '$work/bad' --allow-site '$bad' 2>&1 |
             grep -q 'is not a cabinet' && [ ! -e '$work/bad' ]"
done
check "the checksums hold" bash -c "cd '$work/dist' && sha256sum --quiet -c SHA256SUMS"
msi=$work/dist/ZTFileUpload-$ZT_VERSION-$pkg.msi next_msi=$work/next/ZTFileUpload-$next-$pkg.msi
cab=$work/dist/ZTFileUpload-$pkg.cab ocx=$work/dist/$pkg/ZTFileUpload.ocx
ca=$ZT_TEST_SIGNER_DIR/ca.pem
for f in "$ocx" "$msi" "$cab"; do
  name=$(basename "$f")
  check "$name: the signature verifies" bash -c "osslsigncode verify -CAfile '$ca' -in '$f' >'$work/verify.log' 2>&1"
  grep -q "SHA256" "$work/verify.log" || fail "$name: signed with SHA-256"
  cp "$f" "$work/tampered"
  at=$(( $(stat -c %s "$f") / 2 )) byte=$(od -An -tu1 -j "$at" -N1 "$f" | tr -d ' ')
  printf "$(printf '\\%03o' $(( (byte + 1) % 256 )))" | dd of="$work/tampered" bs=1 seek="$at" conv=notrunc status=none
  check "$name: one byte changed after signing is rejected" \
    bash -c "! osslsigncode verify -CAfile '$ca' -in '$work/tampered' >/dev/null 2>&1"
done

# The next version, signed by another run's authority.
"$root/scripts/package.sh" --tree "$tree" --out "$work/next" --as-version "$next" >"$work/next.log" 2>&1 ||
  { cat "$work/next.log"; echo "package_test: packaging the next version failed" >&2; exit 1; }
check "no cabinet without named sites" test ! -e "$work/next/ZTFileUpload-$pkg.cab"
mkdir -p "$work/cab"
gcab -x -C "$work/cab" "$cab"
check "the cabinet holds the module and its .inf" \
  test "$(gcab -t "$cab" | sort | tr '\n' ' ')" = "ZTFileUpload.inf ZTFileUpload.ocx "
commas="$major,$minor,$patch,0"
module_version=$(python3 - "$ocx" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO
ms, ls = struct.unpack_from("<II", data, at + 8)
print(f"{ms >> 16},{ms & 0xFFFF},{ls >> 16},{ls & 0xFFFF}")
EOF
)
msi_version=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" {print $2}')
check "the module's version resource says $commas ($module_version)" test "$module_version" = "$commas"
check "the MSI says $ZT_VERSION ($msi_version)" test "$msi_version" = "$ZT_VERSION"
check "the .inf says $commas" grep -q "^FileVersion=$commas"$'\r'"$" "$work/cab/ZTFileUpload.inf"
check "the README's <object> tag names this version" grep -q "ZTFileUpload-$pkg.cab#version=$commas\"" "$root/README.md"
check "the .inf bakes in the sites" grep -qF "\"sites=$site_a;$site_b\"" "$work/cab/ZTFileUpload.inf"

# --- What the machine holds -------------------------------------------------
# The registry under a root as sorted "key|value" lines (Wine's reg export,
# UTF-16), and the files of drive C: but for what Wine itself keeps changing.
listing() {  # out-file
  local out=$1 root_key
  : >"$out"
  for root_key in 'HKLM\Software' 'HKCU\Software'; do
    wine reg export "$root_key" 'C:\zt-export.reg' /y >/dev/null 2>&1 || fail "reg export $root_key"
    python3 - "$drive_c/zt-export.reg" >>"$out" <<'EOF'
import sys
text = open(sys.argv[1], "rb").read().decode("utf-16").replace("\\\r\n  ", "")
key = ""
for line in text.splitlines():
    if line.startswith("["):
        key = line
        print(key + "|")
    elif line and not line.startswith("Windows Registry") and not line.startswith("#"):
        print(key + "|" + line)
EOF
    rm -f "$drive_c/zt-export.reg"
  done
  (cd "$drive_c" && find . -path ./windows/temp -prune -o -path ./users -prune -o -print | sed 's/^/file|/') >>"$out"
  # Left out: the empty keys and folder Wine's installer service makes for
  # itself on its first install, and WinINet's own settings.
  grep -vE '\\Installer(\\[^]]*)?\]\|$|^file\|\./windows/Installer$|\\Internet Settings\]\|"ProxyEnable"' "$out" | sort >"$out.sorted"
  mv "$out.sorted" "$out"
}
classes_delta() {  # before after: lines added under Classes, the installer's own keys left out
  comm -13 "$1" "$2" | grep -F '[HKEY_LOCAL_MACHINE\Software\Classes\' | grep -vE 'Classes\\Installer[]\\]'
}
touch "$dirty"
listing "$work/before.txt"

# regsvr32 on the module at the path the MSI installs to: the keys it writes
# are what the MSI must write.
program_files="$drive_c/Program Files/ZTFileUpload"
mkdir -p "$program_files"
cp "$ocx" "$program_files/"
wine regsvr32 /s 'C:\Program Files\ZTFileUpload\ZTFileUpload.ocx' || fail "regsvr32"
listing "$work/regsvr32.txt"
wine regsvr32 /s /u 'C:\Program Files\ZTFileUpload\ZTFileUpload.ocx' || fail "regsvr32 /u"
# Unregistering leaves the categories, which belong to the system.
for catid in 7DD95801 7DD95802; do
  wine reg delete "HKCR\Component Categories\{$catid-9882-11CF-9FA9-00AA006C42C4}" /f >/dev/null 2>&1
done
rm -rf "$program_files"

# --- The MSI: install, script, upgrade, remove -----------------------------
wine msiexec /i "$(winpath "$msi")" /qn "ALLOWEDSITES=$site_a;$site_b" || fail "msiexec /i exited with $?"
listing "$work/installed.txt"
classes_delta "$work/before.txt" "$work/regsvr32.txt" >"$work/regsvr32.delta"
classes_delta "$work/before.txt" "$work/installed.txt" >"$work/msi.delta"
[ -s "$work/regsvr32.delta" ] || fail "regsvr32 wrote no class keys"
if diff -u "$work/regsvr32.delta" "$work/msi.delta" >"$work/delta.diff"; then
  pass "the MSI writes exactly the class keys regsvr32 writes ($(wc -l <"$work/msi.delta") lines)"
else
  fail "the MSI's class keys differ from regsvr32's:"; cat "$work/delta.diff" >&2
fi
check "the module is in Program Files" test -f "$program_files/ZTFileUpload.ocx"
value() {  # key name: a text value ("" the default)
  local which=(/v "$2"); [ -n "$2" ] || which=(/ve)
  wine reg query "$1" "${which[@]}" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'
}
lock() { [ "$(value 'HKLM\Software\ZTFileUpload\AllowedSites' installer)" = "$1" ]; }
# The 32-bit view, which the 32-bit control reads beside the 64-bit one.
lock32() { [ "$(value 'HKLM\Software\Wow6432Node\ZTFileUpload\AllowedSites' installer)" = "$1" ]; }
check "the lock's key holds the list" lock "$site_a;$site_b"
[ "$pkg" != x64 ] || check "the x64 MSI writes the list for the 32-bit control too" lock32 "$site_a;$site_b"

python3 "$root/tools/receiver/receiver.py" --record-dir "$work/rec" --port-file "$work/port" --status 200 --body posted \
  --timeout 300 >"$work/receiver.log" 2>&1 &
receiver=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
printf 'URL=http://127.0.0.1:%s/upload/recv.asp\n' "$(cat "$work/port")" >"$work/params.txt"
scripted() {  # expected-exit page-url-options...
  local want=$1; shift
  timeout 120 "$ZT_WINE_LOADER" "$host" --params "$(winpath "$work/params.txt")" "$@" \
    "$(winpath "$here/installed_post.js")" >"$work/host.log" 2>&1
  local rc=$?
  [ $rc -eq "$want" ] || { echo "host exited with $rc:" >&2; cat "$work/host.log" >&2; return 1; }
}
check "a page on the first listed site posts through the installed control" \
  scripted 0 --page-url https://upload.example.com/app/page.html
check "the receiver got the post" grep -q '"name": "title"' "$work/rec/1.json"
check "a page on the second listed site may script it" scripted 0 --page-url http://files.corp.example:8080/
check "a page outside the list is refused" scripted 4 --page-url https://evil.example/page.html

products() {  # the versions of every ZTFileUpload product installed
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    grep -A20 'DisplayName.*ZTFileUpload' | grep DisplayVersion | awk '{print $3}' | tr '\n' ' '
}
wine msiexec /i "$(winpath "$next_msi")" /qn || fail "msiexec /i (the next version) exited with $?"
check "the upgrade leaves one product, version $next ($(products))" test "$(products)" = "$next "
check "an upgrade without ALLOWEDSITES keeps the lock's list" lock "$site_a;$site_b"
# A list given replaces the one installed (the search for it must not win).
wine msiexec /i "$(winpath "$next_msi")" /qn REINSTALL=ALL REINSTALLMODE=vomus "ALLOWEDSITES=$site_a" ||
  fail "msiexec /i REINSTALL=ALL exited with $?"
check "a reinstall with ALLOWEDSITES writes the new list" lock "$site_a"
[ "$pkg" != x64 ] || check "narrowing through the x64 MSI narrows the 32-bit control's list" lock32 "$site_a"
check "a page the new list dropped is refused" scripted 4 --page-url http://files.corp.example:8080/
wine msiexec /x "$(winpath "$next_msi")" /qn || fail "msiexec /x exited with $?"
listing "$work/removed.txt"
if diff -u "$work/before.txt" "$work/removed.txt" >"$work/left.diff"; then
  pass "removal leaves the registry and the files as before the install"
else
  fail "removal left these behind:"; grep '^[-+][^-+]' "$work/left.diff" | head -40 >&2
fi

# --- The cabinet's .inf through setupapi ------------------------------------
downloaded="$drive_c/windows/Downloaded Program Files"
made_downloaded=0
[ -d "$downloaded" ] || made_downloaded=1
mkdir -p "$drive_c/zt-cab"
cp "$work/cab/"* "$drive_c/zt-cab/"
install_cab() {
  wine rundll32 setupapi.dll,InstallHinfSection ZTFileUpload.Install 128 'C:\zt-cab\ZTFileUpload.inf' ||
    fail "InstallHinfSection exited with $?"
  wineserver -w
}
# A machine an administrator locked keeps its list as it was: the cabinet
# adds none of its sites to it.
wine reg add 'HKLM\Software\ZTFileUpload\AllowedSites' /v installer /t REG_SZ /d https://admin.example /f >/dev/null 2>&1
install_cab
check "a cabinet leaves an administrator's list as it was" test "$(wine reg query 'HKLM\Software\ZTFileUpload\AllowedSites' |
  tr -d '\r' | grep -c REG_SZ)" = 1
check "a cabinet's site stays outside an administrator's list" scripted 4 --page-url https://upload.example.com/
wine reg delete 'HKLM\Software\ZTFileUpload\AllowedSites' /f >/dev/null 2>&1
install_cab
server=$(value 'HKCR\CLSID\{641FC981-5EE3-4800-8C3C-68920AA6AC4D}\InprocServer32' "")
check "the .inf registers the control from Downloaded Program Files ($server)" \
  test "$server" = 'C:\windows\Downloaded Program Files\ZTFileUpload.ocx'
check "the .inf writes the list where there was none" \
  test "$(value 'HKLM\Software\ZTFileUpload\AllowedSites' "$site_b")" = "$site_b"
check "its control serves a listed page" scripted 0 --page-url https://upload.example.com/
check "its control refuses a page outside the list" scripted 4 --page-url https://evil.example/
for section in Uninstall RemoveFiles; do
  wine rundll32 setupapi.dll,InstallHinfSection "ZTFileUpload.$section" 128 'C:\zt-cab\ZTFileUpload.inf' ||
    fail "the .inf's $section exited with $?"
done
# What stays by design, cleared by the test: the categories (the module's
# unregistration leaves them to the system) and the lock's key (a browser
# removing the control leaves the list too: it outlives the control).
for catid in 7DD95801 7DD95802; do
  wine reg delete "HKCR\Component Categories\{$catid-9882-11CF-9FA9-00AA006C42C4}" /f >/dev/null 2>&1
done
wine reg delete 'HKLM\Software\ZTFileUpload' /f >/dev/null 2>&1
rm -rf "$drive_c/zt-cab"
# The browser's folder for downloaded controls stays, as it would on Windows;
# the test removes it when it made it.
[ $made_downloaded = 0 ] || rmdir "$downloaded" || fail "Downloaded Program Files holds more than the control"
listing "$work/after-cab.txt"
if diff -u "$work/before.txt" "$work/after-cab.txt" >"$work/left.diff"; then
  pass "the .inf's removal leaves nothing else behind"
else
  fail "the .inf's removal left these behind:"; grep '^[-+][^-+]' "$work/left.diff" | head -40 >&2
fi

echo "package_test: $failures failed"
[ "$failures" -eq 0 ]
