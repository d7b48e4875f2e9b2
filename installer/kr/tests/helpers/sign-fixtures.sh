#!/usr/bin/env bash
# Signs copies of the test helper for the signer comparison tests: two
# certificates with the same issuer and different serial numbers.
# Usage: sign-fixtures.sh OUTDIR HELPER.EXE SERVER.DLL
set -eu
out=$1 helper=$2 server=$3
mkdir -p "$out"
cd "$out"
rm -f helper-signed-a.exe helper-signed-b.exe server-signed-a.dll helper-unsigned.exe
for serial in 4097 4098; do
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=Kr Test Signer" \
    -set_serial $serial -keyout signer-$serial.key -out signer-$serial.pem 2>/dev/null
done
sign() { osslsigncode sign -certs signer-$1.pem -key signer-$1.key -h sha256 -in "$2" -out "$3" >/dev/null; }
sign 4097 "$helper" helper-signed-a.exe
sign 4097 "$server" server-signed-a.dll
sign 4098 "$helper" helper-signed-b.exe
cp "$helper" helper-unsigned.exe
