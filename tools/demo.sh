#!/usr/bin/env bash
# The main job on its built-in default: a whole conversion, shown step by step. It builds
# tarvelline-cli's test build (the product's code with synthetic releases and a patch store made
# from them, since the real releases belong to their publishers), then identifies a release,
# converts it into another release of its game through the base release, and identifies the
# result.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh native

cmake --preset native >/dev/null
cmake --build --preset native --target tarvelline-cli tarvelline-cli-synthetic
cli=$PWD/build/native/tests/synthetic/tarvelline-cli-synthetic
releases=$PWD/build/native/synthetic/releases

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvelline-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$releases/doom2_v1666.wad" "$work/doom2.wad"

run() {
  echo
  echo "\$ tarvelline-cli $*"
  "$cli" "$@"
}
cd "$work"
run identify doom2.wad
run targets doom2.wad
run convert doom2.wad --to doom2_zodiac --output zodiac.wad
run identify zodiac.wad
echo
echo "The conversion ran two patches, doom2_v1666 -> doom2_v19 -> doom2_zodiac, and the result's"
echo "SHA-1 matched the catalogue before it was written to zodiac.wad."
