#!/usr/bin/env bash
# Starts nginx for the download tests with its own configuration in the build
# tree's state folder, on free loopback ports, and writes "HTTP-PORT HTTPS-PORT"
# to STATE/port for the Windows tests. Every build tree has its own folder, so
# instances of several trees never meet. An instance left by an earlier run of
# the same tree is stopped first, by its PID.
# Usage: start-server.sh STATE-FOLDER CERT-FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=$1
certs=$2
nginx=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx" ] || { echo "nginx is not installed: run tools/setup.sh"; exit 1; }

bash "$here/stop-server.sh" "$state"
rm -rf "$state"
mkdir -p "$state/root" "$state/logs" "$state/tmp"

# The files served: one in random bytes with a fixed Last-Modified time, and
# the benchmark's 256 MiB (sparse: its bytes do not matter).
head -c 300000 /dev/urandom >"$state/root/file.bin"
touch -d '2021-03-04 05:06:07 UTC' "$state/root/file.bin"
truncate -s 256M "$state/root/big.bin"
cp "$certs/ca.der" "$state/ca.der"

user_line=
[ "$(id -u)" = 0 ] && user_line='user root;'
for attempt in $(seq 1 40); do
  http=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
  https=$((http + 1))
  sed -e "s|@STATE@|$state|g" -e "s|@CERTS@|$certs|g" -e "s|@HTTP_PORT@|$http|" \
      -e "s|@HTTPS_PORT@|$https|" -e "s|@USER@|$user_line|" "$here/nginx.conf.in" >"$state/nginx.conf"
  # A port in use makes nginx fail at once; then another pair is tried.
  if "$nginx" -p "$state" -c "$state/nginx.conf" -e "$state/logs/error.log" 2>>"$state/start.log"; then
    echo "$http $https" >"$state/port"
    echo "nginx on 127.0.0.1:$http (https $https), pid $(cat "$state/nginx.pid")"
    exit 0
  fi
done
cat "$state/start.log"
exit 1
