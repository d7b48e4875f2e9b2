#!/usr/bin/env bash
# The main job: the configuration tool on the simulated hardware, in real windows (on a virtual
# display when none is set), running until it is closed.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$top/build/i686/bin
exe=$bin/Calvista.exe
if [ ! -f "$exe" ]; then
  built=$(cd "$top/build" && ls i686/bin/*.dll i686/bin/*.exe x86_64/bin/*.dll x86_64/bin/*.exe 2>/dev/null |
          grep -vE 'test|gtest|gmock' | xargs -r -n1 basename | sort -u | tr '\n' ' ')
  echo "Calvista is not built yet; built deliverables: ${built:-none}"
  exit 0
fi

# Windows need Wine's X11 driver: a prefix of its own beside the tests' headless one.
export WINEPREFIX=$top/build/i686/wineprefix-x11
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=UTC
# The simulated driver, holding the demo adapter with its encoder.
export VANTREL_SIMULATION=1 VANTREL_SIM_DEMO=1
on_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    command -v xvfb-run >/dev/null || { echo "no display and no xvfb-run"; exit 1; }
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  fi
}
if [ ! -f "$WINEPREFIX/.ready" ]; then
  rm -rf "$WINEPREFIX"
  on_display wineboot -i >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.ready"
fi
trap 'wineserver -k 2>/dev/null || true' EXIT
[ -n "${DISPLAY:-}" ] || echo "Calvista runs on a virtual display until it is closed (Ctrl+C ends it)."
# The language files are looked up from the working folder: the program's own.
cd "$bin"
on_display wine "$exe"
