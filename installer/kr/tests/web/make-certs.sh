#!/usr/bin/env bash
# A test root and a server certificate for 127.0.0.1 and localhost, signed by
# it, for the HTTPS download test. Made fresh in each build tree. The address
# is named as a DNS name too: Wine's name check reads only those.
# Usage: make-certs.sh OUT-FOLDER
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 -sha256 \
  -subj "/CN=kr download test root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -sha256 -subj "/CN=localhost" 2>/dev/null
printf '%s\n' "subjectAltName=DNS:localhost,DNS:127.0.0.1,IP:127.0.0.1" "basicConstraints=CA:FALSE" \
  "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" >server.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 825 -sha256 \
  -extfile server.ext 2>/dev/null
openssl x509 -in ca.pem -outform DER -out ca.der
