#!/usr/bin/env bash
# Stops the download tests' nginx of one build tree by the PID in its state folder.
# Usage: stop-server.sh STATE-FOLDER
set -u
state=$1
[ -f "$state/nginx.pid" ] || exit 0
pid=$(cat "$state/nginx.pid")
case $pid in ''|*[!0-9]*) exit 0 ;; esac
# Only an nginx master started with this folder's configuration is ours.
if tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF "$state/nginx.conf"; then
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
fi
rm -f "$state/nginx.pid"
exit 0
