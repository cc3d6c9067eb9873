#!/usr/bin/env bash
# Builds and runs every test suite: native, sanitizers, both Windows builds under Wine, and the
# browser page in Chromium.
# Usage: tools/test-all.sh [native] [asan] [win64] [win32] [web]   (default: all five)
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(native asan win64 win32 web)
need=(native)
for preset in "${presets[@]}"; do
  case "$preset" in win*) need+=(win) ;; web) need+=(web) ;; esac
done
tools/install-deps.sh "${need[@]}"

jobs=$(nproc)
wine_ready=""
skipped=()
xvfb_pid=""
start_wine() {
  # One virtual display and a fresh prefix for all Windows suites of this run, so no earlier
  # state leaks into the tests.
  export WINEPREFIX DISPLAY
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tarvelline-wine.XXXXXX")
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WINEPREFIX.display" 2>/dev/null &
  xvfb_pid=$!
  trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb_pid 2>/dev/null || true;
        rm -rf "$WINEPREFIX" "$WINEPREFIX.display"' EXIT
  for _ in $(seq 50); do [ -s "$WINEPREFIX.display" ] && break; sleep 0.1; done
  DISPLAY=":$(cat "$WINEPREFIX.display")"
  echo "== Preparing a Wine prefix on display $DISPLAY"
  # The 64-bit loader sets the prefix up on any machine; the 32-bit one may not start at all.
  tools/wine-loader wineboot -i >/dev/null 2>&1
  wineserver -w
  wine_ready=1
}

for preset in "${presets[@]}"; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  # The win32 suites need wine32:i386 and a kernel that runs 32-bit programs; either may be
  # missing, and then the build alone is checked.
  if [ "$preset" = win32 ] && ! why=$(tools/wine32-check); then
    echo "== win32: built; its tests SKIPPED: $why"
    skipped+=("win32 ($why)")
    continue
  fi
  if [ "$preset" = web ]; then
    echo "== web: browser tests (Chromium)"
    # playwright-core at the locked version; it drives the system's Chromium and downloads none.
    (cd tests/web && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
    node tests/web/run_tests.mjs build/web
    continue
  fi
  echo "== $preset: test"
  retry=()
  case "$preset" in
    win*)
      [ -n "$wine_ready" ] || start_wine
      # A Wine program now and then loses its server connection at start-up ("wine client
      # error: recvmsg"), which is Wine's failure, not the test's: such a test gets one more run.
      retry=(--repeat until-pass:2)
      ;;
  esac
  ctest --preset "$preset" -j "$jobs" "${retry[@]}"
done
if [ ${#skipped[@]} -eq 0 ]; then
  echo "== All suites passed: ${presets[*]}"
else
  echo "== All suites passed; skipped: ${skipped[*]}"
fi
