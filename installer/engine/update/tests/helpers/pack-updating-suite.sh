#!/usr/bin/env bash
# Packs and signs the suite of the update process test once the test web
# server runs: its setup.xml names an UpdateUrl on the server's port, known
# only now, one package (the package stand-in) and the stand-in user
# interface, which runs when the launcher is not silent. Signed with the
# certificate of the "same signer" update stand-in.
# Usage: pack-updating-suite.sh OUTPUT.exe WEB-STATE TEMPLATE PACKER LAUNCHER.exe PACKAGE.exe UI.dll SIGNER-FOLDER
#        SUITE-ID
set -euo pipefail
output=$1 state=$2 template=$3 packer=$4 launcher=$5 package=$6 ui=$7 signers=$8 suite_id=$9
work=$(dirname "$output")/updating-suite
rm -rf "$work" "$output"
mkdir -p "$work"
read -r port _ <"$state/port"
digest=$(md5sum "$package" | cut -c1-32)
sed -e "s|@PORT@|$port|" -e "s|@STANDIN_MD5@|$digest|" -e "s|@SUITE_ID@|$suite_id|" "$template" >"$work/setup.xml"
printf 'setup.xml\t%s\tzlib\tnone\nstandin1.exe\t%s\tzlib\tnone\nsuiteui.dll\t%s\tzlib\tnone\n' \
  "$work/setup.xml" "$package" "$ui" >"$work/payload.list"
perl "$packer" --image "$launcher" --output "$work/unsigned.exe" --manifest "$work/payload.list" --format 3
osslsigncode sign -certs "$signers/signer-8193.pem" -key "$signers/signer-8193.key" -h sha256 \
  -in "$work/unsigned.exe" -out "$output" >/dev/null
echo "packed $output for port $port"
