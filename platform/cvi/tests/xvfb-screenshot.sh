#!/usr/bin/env bash
# Runs the showcase program under Xvfb with Wine's X11 driver (a prefix of its own, since the
# test prefix has no display driver) and checks that it wrote a PNG picture.
# Usage: xvfb-screenshot.sh <cvi_showcase.exe> <wine prefix> <picture.png>
set -u
exe=$1 prefix=$2 picture=$3
command -v xvfb-run >/dev/null || { echo "xvfb-run not installed"; exit 77; }
tools=$(cd "$(dirname "$0")/../../../tools" && pwd)
unset DISPLAY
rm -f "$picture"
# Wine reads an absolute Unix path as one on drive Z:.
FERRO_XVFB_SCREEN=1024x768x24 "$tools/wine-x11" "$prefix" "$exe" "$picture"
status=$?
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
[ $status = 0 ] || { echo "showcase failed with $status"; exit 1; }
[ -s "$picture" ] && [ "$(head -c 4 "$picture" | tail -c 3)" = PNG ] || { echo "no PNG picture written"; exit 1; }
echo "picture: $picture"
