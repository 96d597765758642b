#!/bin/sh
# Builds the 32-bit Windows program (the 64-bit one where this machine cannot
# run 32-bit programs) and starts it under Wine, on Wine's desktop with its
# taskbar, for trying it by hand:
#   scripts/try-windows.sh [ADB]
# ADB, a Windows adb.exe as a Linux path, becomes its adb path. The Wine
# prefix is build/try-windows/ (not the tests' prefixes, whose stand-in adb
# sits at the default path). Without a display it starts a virtual one and
# says how to take a screenshot of it. Exit in Velmora's menu, or Ctrl+C
# here, ends it.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
preset=windows
build/windows/wine-run --check >/dev/null 2>&1 || preset=windows-x64
cmake --preset $preset >/dev/null
cmake --build --preset $preset --target velmora
export VELMORA_WINEPREFIX="$PWD/build/try-windows"
wine=build/$preset/wine-run
[ -d "$VELMORA_WINEPREFIX" ] || "$wine" wineboot --init
if [ $# -gt 0 ]; then
    "$wine" reg add 'HKCU\Software\Corvend\Velmora' /v ADBPath /d "Z:$(realpath "$1" | tr / '\\')" /f >/dev/null
fi
xvfb=""
if [ -z "${DISPLAY:-}" ]; then
    DISPLAY=:$(for n in $(seq 95 199); do [ -e /tmp/.X$n-lock ] || { echo $n; break; }; done)
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY
    echo "Virtual display $DISPLAY; a screenshot: import -display $DISPLAY -window root shot.png"
fi
stop() {
    WINEPREFIX=$VELMORA_WINEPREFIX wineserver -k 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap stop EXIT
trap 'exit 130' INT TERM
echo "Velmora runs on Wine's desktop; its icon is at the taskbar's right end. Exit in its menu, or Ctrl+C, ends it."
# Wine's desktop detaches the program: wait for the prefix's programs to end.
"$wine" explorer /desktop=velmora,1024x768 "$PWD/build/$preset/src/velmora.exe"
WINEPREFIX=$VELMORA_WINEPREFIX wineserver -w
