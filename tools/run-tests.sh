#!/usr/bin/env bash
# Runs every CTest test of the given build trees under Wine, one persistent
# wineserver per tree for the whole run. --bench runs the benchmarks instead.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
select=(-LE bench)
if [ "${1:-}" = --bench ]; then select=(-L bench); shift; fi
status=0
for arch in "$@"; do
  tree=$top/build/$arch
  prefix=$tree/wineprefix
  # The first program run makes the prefix; then the server stays up until we end it.
  "$top/tools/wine-run" "$prefix" cmd /c exit 0 >/dev/null 2>&1 || true
  WINEPREFIX=$prefix wineserver -p
  echo "== tests of the $arch tree"
  ctest --test-dir "$tree" --output-on-failure -j "$(nproc)" "${select[@]}" || status=1
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
done
exit $status
