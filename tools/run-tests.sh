#!/usr/bin/env bash
# Runs the CTest tests of the build trees under Wine, one persistent wineserver per tree.
# Where this machine starts 32-bit programs: the i686 tree, then the x86_64 tree's own 64-bit
# programs. Where it cannot (or FERRO_TEST_ARCH=x86_64 asks): the x86_64 tree, with its 64-bit
# builds of the 32-bit programs (label build64) and without the tests whose meaning needs a 32-bit
# process (label needs32). One line names what was not run; CTest's summary stays the last line.
# --bench runs the benchmarks instead.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
select=(-LE bench)
kind=tests
if [ "${1:-}" = --bench ]; then select=(-L bench); kind=benchmarks; fi

arch_line=$("$top/tools/test-arch") || exit 1
read -r arch reason <<<"$arch_line"

# test_names TREE CTEST-ARGS...: the names of the tests the arguments select, one a line.
test_names() {
  local tree=$1; shift
  ctest --test-dir "$top/build/$tree" -N "$@" | sed -n 's/^ *Test *#[0-9]*: //p'
}

run_tree() {
  local tree=$1; shift
  local prefix=$top/build/$tree/wineprefix
  # The first program run makes the prefix; then the server stays up until we end it.
  "$top/tools/wine-run" "$prefix" cmd /c exit 0 >/dev/null 2>&1 || true
  WINEPREFIX=$prefix wineserver -p
  echo "== $kind of the $tree tree"
  ctest --test-dir "$top/build/$tree" --output-on-failure -j "$(nproc)" "$@"
  local status=$?
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  return $status
}

status=0
if [ "$arch" = i686 ]; then
  run_tree i686 "${select[@]}" || status=1
  skipped=$(test_names x86_64 "${select[@]}" -L build64 | wc -l)
  echo "not run: the x86_64 tree's $skipped 64-bit test builds of the 32-bit programs (their i686 builds ran)"
  if [ "$kind" = tests ]; then
    run_tree x86_64 -LE 'bench|build64' || status=1
  else
    run_tree x86_64 -L bench -LE build64 || status=1
  fi
else
  skipped=$(test_names i686 "${select[@]}" | wc -l)
  needs32=$(test_names x86_64 "${select[@]}" -L needs32 | paste -sd, - | sed 's/,/, /g')
  echo "not run: the i686 tree's $skipped $kind ($reason)${needs32:+; the $kind that need a 32-bit process: $needs32}"
  if [ "$kind" = tests ]; then
    run_tree x86_64 -LE 'bench|needs32' || status=1
  else
    run_tree x86_64 -L bench -LE needs32 || status=1
  fi
fi
exit $status
