#!/usr/bin/env bash
# Pictures of the program's windows (main window, About, Supported IWADs) for people to look at.
# Builds tvl_screenshots for win64 and runs it under Wine on a private virtual display.
# Usage: tools/screenshots.sh [folder]   (default: build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "${1:-build/screenshots}" && cd "${1:-build/screenshots}" && pwd)

cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target tvl_screenshots
program=$(find "$PWD/build/win64" -name tvl_screenshots.exe -print -quit)

export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tarvelline-shots.XXXXXX")
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WINEPREFIX.display" 2>/dev/null &
xvfb_pid=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb_pid 2>/dev/null || true;
      rm -rf "$WINEPREFIX" "$WINEPREFIX.display"' EXIT
for _ in $(seq 50); do [ -s "$WINEPREFIX.display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$WINEPREFIX.display")"
tools/wine-loader wineboot -i >/dev/null 2>&1
wineserver -w
# Without a window manager Wine waits for one at every window and draws no frames; windows of
# its own show their title bars in the pictures.
tools/wine-loader reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
tools/wine-loader reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

# The pictures land in the working folder.
(cd "$out" && "$OLDPWD/tools/wine-loader" "$program")
echo "== screenshots in $out"
