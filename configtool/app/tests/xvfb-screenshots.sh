#!/usr/bin/env bash
# Runs the screenshot program of the configuration tool under Xvfb with Wine's X11 driver (the
# test prefix has no display driver), once for the panels and the calibration and once connecting
# to a simulated encoder; the program checks what each picture shows, this script that all are there.
# Usage: xvfb-screenshots.sh <calvista_screens.exe> <wine prefix> <picture folder>
set -u
exe=$1 prefix=$2 folder=$3
command -v xvfb-run >/dev/null || { echo "xvfb-run not installed"; exit 77; }
tools=$(cd "$(dirname "$0")/../../../tools" && pwd)
unset DISPLAY
pictures="calvista_first_en.png calvista_main_en.png calvista_main_de.png calvista_first_de.png
  calvista_about_en.png calvista_calib_ready_en.png calvista_calib_done_en.png calvista_unconnected_en.png calvista_connected_en.png"
rm -rf "$folder"
mkdir -p "$folder"
# The language files are looked up from the working folder: the program's own folder.
cd "$(dirname "$exe")"
for mode in "" connected; do
  "$tools/wine-x11" "$prefix" "$exe" "$folder" $mode
  status=$?
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  [ $status = 0 ] || { echo "screenshot program ${mode:+($mode) }failed with $status"; exit 1; }
done
for picture in $pictures; do
  [ -s "$folder/$picture" ] && [ "$(head -c 4 "$folder/$picture" | tail -c 3)" = PNG ] ||
    { echo "no PNG picture $folder/$picture"; exit 1; }
done
echo "pictures in $folder"
