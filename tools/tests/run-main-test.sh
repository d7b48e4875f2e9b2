#!/usr/bin/env bash
# make run's script in a tree of its own with stand-ins for the machine probe and the Wine
# launcher: it must fail when the tool is not built and when the tool does not start or fails.
set -u
tools=$(cd "$(dirname "$0")/.." && pwd)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/tools"
cp "$tools/run-main.sh" "$tree/tools/"
printf '#!/usr/bin/env bash\necho "x86_64 a stand-in probe"\n' >"$tree/tools/test-arch"
chmod +x "$tree/tools/test-arch"
failures=0

expect() { # expect STATUS-WANTED DESCRIPTION
  local output status
  output=$(DISPLAY=:99 bash "$tree/tools/run-main.sh" 2>&1)
  status=$?
  if [ "$1" = nonzero ] && [ $status = 0 ] || [ "$1" != nonzero ] && [ $status != "$1" ]; then
    echo "FAIL: $2: exit status $status, wanted $1; output: $output"
    failures=$((failures + 1))
  else
    echo "ok: $2 (status $status)"
  fi
}

expect nonzero "no Calvista.exe built"

mkdir -p "$tree/build/x86_64/bin"
touch "$tree/build/x86_64/bin/Calvista.exe"
printf '#!/usr/bin/env bash\nexit 3\n' >"$tree/tools/wine-x11"
chmod +x "$tree/tools/wine-x11"
expect 3 "the tool ends with a failure"

printf '#!/usr/bin/env bash\nexit 0\n' >"$tree/tools/wine-x11"
expect 0 "the tool ends normally"
[ $failures = 0 ]
