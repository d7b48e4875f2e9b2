#!/usr/bin/env bash
# Signs the update test program in place and two copies of the update
# stand-in: one with the program's certificate, one with another certificate
# of the same issuer name and another serial number; and a copy of the latter
# changed after signing (one byte of its DOS stub), which no trust check passes.
# Usage: sign-update-fixtures.sh OUTDIR STANDIN.EXE TEST.EXE
set -eu
out=$1 standin=$2 test_exe=$3
mkdir -p "$out"
cd "$out"
for serial in 8193 8194; do
  [ -f signer-$serial.pem ] || openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
    -subj "/CN=Update Test Signer" -set_serial $serial -keyout signer-$serial.key -out signer-$serial.pem 2>/dev/null
done
sign() { rm -f "$3"; osslsigncode sign -certs signer-$1.pem -key signer-$1.key -h sha256 -in "$2" -out "$3" >/dev/null; }
sign 8193 "$standin" standin-same-signer.exe
sign 8194 "$standin" standin-other-signer.exe
cp -f standin-other-signer.exe standin-tampered.exe
printf 'X' | dd of=standin-tampered.exe bs=1 seek=80 conv=notrunc status=none
sign 8193 "$test_exe" test-signed.exe
mv -f test-signed.exe "$test_exe"
