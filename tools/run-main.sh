#!/usr/bin/env bash
# The main job: the configuration tool on the simulated hardware, once it is built.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
exe=$top/build/i686/bin/Calvista.exe
if [ -f "$exe" ]; then
  exec "$top/tools/wine-run" "$top/build/i686/wineprefix" "$exe"
fi
built=$(cd "$top/build" && ls i686/bin/*.dll i686/bin/*.exe x86_64/bin/*.dll x86_64/bin/*.exe 2>/dev/null |
        grep -vE 'test|gtest|gmock' | xargs -r -n1 basename | sort -u | tr '\n' ' ')
echo "Calvista is not built yet; built deliverables: ${built:-none}"
