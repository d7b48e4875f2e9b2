#!/usr/bin/env bash
# The main job: the configuration tool on the simulated hardware, in real windows (on a virtual
# display when none is set), running until it is closed. A machine that cannot start 32-bit
# programs runs the tool's 64-bit build.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
arch_line=$("$top/tools/test-arch")
read -r arch reason <<<"$arch_line"
[ "$arch" = i686 ] || echo "Running the 64-bit build of Calvista: $reason."
bin=$top/build/$arch/bin
exe=$bin/Calvista.exe
[ -f "$exe" ] || { echo "Calvista is not built: run make build"; exit 1; }

# The simulated driver, holding the demo adapter with its encoder.
export VANTREL_SIMULATION=1 VANTREL_SIM_DEMO=1
prefix=$top/build/$arch/wineprefix-x11
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true' EXIT
[ -n "${DISPLAY:-}" ] || echo "Calvista runs on a virtual display until it is closed (Ctrl+C ends it)."
# The language files are looked up from the working folder: the program's own.
cd "$bin"
"$top/tools/wine-x11" "$prefix" "$exe"
