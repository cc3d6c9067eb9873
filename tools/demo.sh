#!/usr/bin/env bash
# The main job on its built-in default: builds tarvelline-cli and identifies sample files.
# Debian's free Freedoom IWADs are real catalogue releases, so they make a fair sample.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh native
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
dpkg-query -W -f='${Status}' freedoom 2>/dev/null | grep -q 'install ok installed' ||
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q freedoom >/dev/null

cmake --preset native >/dev/null
cmake --build --preset native --target tarvelline-cli
cli=build/native/cli/tarvelline-cli

samples=()
for wad in /usr/share/games/doom/freedoom1.wad /usr/share/games/doom/freedoom2.wad; do
  [ -f "$wad" ] && samples+=("$wad")
done
unknown=$(mktemp "${TMPDIR:-/tmp}/not-an-iwad.XXXXXX.wad")
trap 'rm -f "$unknown"' EXIT
printf 'PWAD\0\0\0\0\14\0\0\0' >"$unknown"
samples+=("$unknown")

echo
echo "\$ tarvelline-cli identify ${samples[*]}"
"$cli" identify "${samples[@]}" || true
if [ -f /usr/share/games/doom/freedoom1.wad ]; then
  echo
  echo "\$ tarvelline-cli targets /usr/share/games/doom/freedoom1.wad"
  "$cli" targets /usr/share/games/doom/freedoom1.wad
fi
echo
echo "\$ tarvelline-cli targets --release doom2_v1666"
"$cli" targets --release doom2_v1666
