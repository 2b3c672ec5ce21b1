#!/usr/bin/env bash
# make-test-signer.sh <dir>
# A throwaway code-signing authority and a certificate it issued, for
# packages that are only tested: ca.pem (what a verifier trusts),
# signer-chain.pem (the signer, then the authority) and signer.key. Made
# anew on every run; the keys never leave the build tree.
set -euo pipefail
dir=$1
rm -rf "$dir"
mkdir -p "$dir"
cd "$dir"
cat >ext.cnf <<'CNF'
[signer]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
openssl req -x509 -newkey rsa:3072 -nodes -keyout ca.key -out ca.pem -days 7 -sha256 \
  -subj "/CN=ZTFileUpload TEST ONLY signing authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:3072 -nodes -keyout signer.key -out signer.csr -subj "/CN=ZTFileUpload TEST ONLY" 2>/dev/null
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out signer.pem -days 7 -sha256 \
  -extfile ext.cnf -extensions signer 2>/dev/null
cat signer.pem ca.pem >signer-chain.pem
rm -f ca.key signer.csr ca.srl ext.cnf
