#!/usr/bin/env bash
# make_tls_certs.sh <folder>
# A throwaway certificate authority and three server certificates for the
# TLS tests, made fresh for each run:
#   ca.der            the authority the Wine prefix is told to trust
#   good.pem/.key     for localhost and 127.0.0.1, signed by that authority
#   stranger.pem/.key for localhost and 127.0.0.1, signed by an authority nobody trusts
#   elsewhere.pem/.key signed by the trusted authority, but for another name
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
days=2
authority() {  # name
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1-ca.key" -out "$1-ca.pem" -days $days \
    -subj "/CN=ZTFileUpload test authority $1 $$" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
server() {  # name authority subjectAltName
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$1" 2>/dev/null
  printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$3" >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$2-ca.pem" -CAkey "$2-ca.key" -CAcreateserial -out "$1.pem" \
    -days $days -extfile "$1.ext" 2>/dev/null
}
authority trusted
authority stranger
server good trusted "DNS:localhost,IP:127.0.0.1"
server stranger stranger "DNS:localhost,IP:127.0.0.1"
server elsewhere trusted "DNS:elsewhere.invalid"
openssl x509 -in trusted-ca.pem -outform DER -out ca.der
