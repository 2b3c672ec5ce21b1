#!/usr/bin/env bash
# package.sh [--tree DIR]... [--out DIR] [--allow-site URL]... [--as-version X.Y.Z]
# The deliverables of built Windows trees (default build/win32 and
# build/win64), written to --out (default dist/):
#   <arch>/ZTFileUpload.ocx            the module without its debug information, signed
#   symbols/<arch>/ZTFileUpload.ocx.debug  that debug information, kept for crash reports
#   ZTFileUpload-<version>-<arch>.msi  the per-machine installer, signed
#   ZTFileUpload-<arch>.cab            for pages, signed; only with --allow-site
#   SHA256SUMS
# Every tree's package.env (written by CMake) names its module, architecture
# and the project version. --as-version makes packages claim another version
# than the module's, which only the upgrade test wants.
#
# Signing: ZT_SIGN_CERT (the certificate with its chain, PEM) and ZT_SIGN_KEY
# (its private key, PEM), with ZT_SIGN_PASS_FILE holding the key's password
# when it has one and ZT_SIGN_TIMESTAMP_URL an RFC 3161 time-stamp server.
# Without ZT_SIGN_CERT a throwaway authority made in the build tree (or in
# ZT_TEST_SIGNER_DIR) signs, and the packages are for testing only.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
packaging=$root/packaging

trees=() out=$root/dist sites=() as_version=""
while [ $# -gt 0 ]; do
  case "$1" in
    --tree) trees+=("$(cd "$2" && pwd)"); shift 2 ;;
    --out) out=$2; shift 2 ;;
    --allow-site) sites+=("$2"); shift 2 ;;
    --as-version) as_version=$2; shift 2 ;;
    *) echo "package: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
[ ${#trees[@]} -gt 0 ] || trees=("$root/${ZT_BUILD_ROOT:-build}/win32" "$root/${ZT_BUILD_ROOT:-build}/win64")

# The entries go into the .inf between quotes: only the web origins the site
# lock reads, and nothing that could end the quotes or the line. A cabinet
# serves web pages: "file:" or "nopage:" would admit every local page or
# every container on each machine it reaches.
for site in "${sites[@]}"; do
  if ! [[ $site =~ ^https?://(\*\.)?[A-Za-z0-9.-]+(:[0-9]{1,5})?/?$ ]]; then
    echo "package: '$site' is not a cabinet's allow-list entry (https://host[:port] or http://*.domain[:port])" >&2
    exit 2
  fi
done
if [ -n "$as_version" ] && ! [[ $as_version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "package: --as-version wants X.Y.Z, not '$as_version'" >&2
  exit 2
fi

for tool in wixl msibuild gcab osslsigncode openssl; do
  command -v "$tool" >/dev/null || { echo "package: $tool is missing (./run setup installs it)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zt-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The signer: the release's certificate, or a throwaway authority and leaf.
if [ -n "${ZT_SIGN_CERT:-}" ]; then
  [ -n "${ZT_SIGN_KEY:-}" ] || { echo "package: ZT_SIGN_CERT is set but ZT_SIGN_KEY is not" >&2; exit 2; }
  sign_cert=$ZT_SIGN_CERT sign_key=$ZT_SIGN_KEY
else
  throwaway=${ZT_TEST_SIGNER_DIR:-${trees[0]}/package-signing}
  "$packaging/make-test-signer.sh" "$throwaway"
  sign_cert=$throwaway/signer-chain.pem sign_key=$throwaway/signer.key
  cat >&2 <<EOF
package: ================================================================
package: NO SIGNING CERTIFICATE (ZT_SIGN_CERT, ZT_SIGN_KEY): signed with a
package: throwaway authority made for this run ($throwaway/ca.pem).
package: THESE PACKAGES ARE FOR TESTING ONLY. Do not publish them.
package: ================================================================
EOF
fi
sign() {  # file description
  local extra=()
  [ -z "${ZT_SIGN_PASS_FILE:-}" ] || extra+=(-readpass "$ZT_SIGN_PASS_FILE")
  [ -z "${ZT_SIGN_TIMESTAMP_URL:-}" ] || extra+=(-ts "$ZT_SIGN_TIMESTAMP_URL")
  osslsigncode sign -h sha256 -certs "$sign_cert" -key "$sign_key" "${extra[@]}" \
    -n "$2" -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}

rm -rf "$out"
mkdir -p "$out"
for tree in "${trees[@]}"; do
  [ -f "$tree/package.env" ] || { echo "package: $tree holds no package.env: configure and build it first" >&2; exit 1; }
  ZT_VERSION="" ZT_ARCH="" ZT_MODULE="" ZT_OBJCOPY=""
  # shellcheck disable=SC1091
  source "$tree/package.env"
  [ -f "$ZT_MODULE" ] || { echo "package: $ZT_MODULE is not built" >&2; exit 1; }
  version=${as_version:-$ZT_VERSION}
  arch=$ZT_ARCH
  stage=$work/$arch
  mkdir -p "$stage" "$out/$arch"

  # The tree's module carries its debug information (several times the
  # code's size): it is kept apart, linked by name, and not shipped.
  mkdir -p "$out/symbols/$arch"
  "$ZT_OBJCOPY" --only-keep-debug "$ZT_MODULE" "$out/symbols/$arch/ZTFileUpload.ocx.debug"
  "$ZT_OBJCOPY" --strip-debug --add-gnu-debuglink="$out/symbols/$arch/ZTFileUpload.ocx.debug" \
    "$ZT_MODULE" "$stage/ZTFileUpload.ocx"
  sign "$stage/ZTFileUpload.ocx" "ZTFileUpload ActiveX Control"
  cp "$stage/ZTFileUpload.ocx" "$out/$arch/ZTFileUpload.ocx"

  msi=$out/ZTFileUpload-$version-$arch.msi
  "$packaging/build-msi.sh" "$arch" "$version" "$stage/ZTFileUpload.ocx" "$msi"
  sign "$msi" "ZTFileUpload ActiveX Control $version"

  if [ ${#sites[@]} -gt 0 ]; then
    IFS=. read -r major minor patch <<<"$version"
    site_list=$(IFS=';'; printf '%s' "${sites[*]}")
    # file-win32-x86 is the documented key for 32-bit browsers; for the
    # 64-bit cabinet the key every browser takes, the page choosing the
    # cabinet by the browser's architecture.
    platform_key=file-win32-x86
    [ "$arch" = x64 ] && platform_key="file"
    python3 - "$packaging/ZTFileUpload.inf.in" "$stage/ZTFileUpload.inf" "$version" "$major,$minor,$patch,0" \
      "$arch" "$platform_key" "$site_list" <<'EOF'
import sys
src, dst, version, commas, arch, key, sites = sys.argv[1:]
text = open(src, encoding="utf-8").read()
for name, value in (("VERSION", version), ("VERSION_COMMAS", commas), ("ARCH", arch),
                    ("PLATFORM_KEY", key), ("SITES", sites)):
    text = text.replace("@" + name + "@", value)
# setupapi and the browser read an .inf as ANSI text with CR LF lines.
open(dst, "w", encoding="ascii", newline="\r\n").write(text)
EOF
    cab=$out/ZTFileUpload-$arch.cab
    (cd "$stage" && gcab -c -z "$cab" ZTFileUpload.ocx ZTFileUpload.inf)
    sign "$cab" "ZTFileUpload ActiveX Control $version"
  fi
done

(cd "$out" && find . -type f ! -name SHA256SUMS | sed 's#^\./##' | sort | xargs sha256sum >SHA256SUMS)
echo "package: made in $out:"
(cd "$out" && find . -type f | sed 's#^\./#  #' | sort)
if [ ${#sites[@]} -eq 0 ]; then
  echo "package: no cabinet for pages: name the sites it may serve with --allow-site URL"
fi
