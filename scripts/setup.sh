#!/usr/bin/env bash
# Installs every system package the build, the tests, the demo and the
# benchmark need. Safe to run again: packages already present are skipped.
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang libclang-rt-14-dev libgtest-dev googletest
  mingw-w64 mingw-w64-tools g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  libwine-dev wine wine64 wine32:i386
  xvfb xauth fonts-nanum locales imagemagick python3 curl time
  openjdk-17-jdk-headless junit5 libjetty9-java libservlet-api-java libjakarta-servlet-api-java
  msitools wixl gcab osslsigncode openssl
  php-cli php-mbstring phpunit nodejs composer php-symfony-http-foundation
  chromium firefox-esr
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

# A mirror caught mid-sync answers an index of the wrong size for a few
# minutes ("Mirror sync in progress?"), and a new machine meets that as a
# failed setup: the package lists are fetched again after a pause. Lists that
# stay stale are used as they are; the install then says what it cannot find.
update_package_lists() {
  local try
  for try in 1 2 3; do
    "${sudo_cmd[@]}" apt-get update -q -o Acquire::Retries=3 && return 0
    [ "$try" -lt 3 ] || break
    echo "setup: package lists incomplete (try $try of 3), fetching again in $((try * 30)) s" >&2
    sleep $((try * 30))
  done
  echo "setup: package lists still incomplete; installing from what was fetched" >&2
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# Apt installs the 32-bit packages last and apart: their libraries must match
# the 64-bit ones version for version, and when the mirror's 32-bit index is
# stale that pairing needs versions chosen by hand (apt-pair-arches.py).
install() {
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q -o Acquire::Retries=3 \
    --no-install-recommends "$@"
}
install_32bit() {
  if apt-get install -s -q --no-install-recommends "$@" >/dev/null 2>&1; then
    install "$@"
    return
  fi
  echo "setup: the 32-bit packages do not pair with the installed 64-bit ones; choosing versions both arches list" >&2
  local pins
  pins=$(python3 "$(dirname "${BASH_SOURCE[0]}")/apt-pair-arches.py" "$@") || return 1
  # shellcheck disable=SC2086 # one word per name=version
  install --allow-downgrades "$@" $pins
}

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
else
  echo "setup: installing ${missing[*]}"
  update_package_lists
  native=() foreign=()
  for p in "${missing[@]}"; do
    case "$p" in *:i386) foreign+=("$p") ;; *) native+=("$p") ;; esac
  done
  [ ${#native[@]} -eq 0 ] || install "${native[@]}"
  [ ${#foreign[@]} -eq 0 ] || install_32bit "${foreign[@]}"
fi

# The Node server kit's packages, exactly as its lock file says.
node_kit=$(cd "$(dirname "${BASH_SOURCE[0]}")/../server/node" && pwd)
if [ ! "$node_kit/node_modules/.package-lock.json" -nt "$node_kit/package-lock.json" ]; then
  command -v npm >/dev/null || { echo "setup: npm is missing (nodesource's nodejs carries it, Debian's is the npm package)" >&2; exit 1; }
  (cd "$node_kit" && npm ci --no-audit --no-fund)
fi
# The browser twin's build and test packages.
web_pkg=$(cd "$(dirname "${BASH_SOURCE[0]}")/../web" && pwd)
if [ ! "$web_pkg/node_modules/.package-lock.json" -nt "$web_pkg/package-lock.json" ]; then
  (cd "$web_pkg" && npm ci --no-audit --no-fund)
fi
(cd "$web_pkg" && npm run build --silent)
echo "setup: done"
