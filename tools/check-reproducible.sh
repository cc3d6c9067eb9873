#!/usr/bin/env bash
# Builds the win64 programs twice, from two clones of this commit in two different folders, and
# compares the executables byte for byte. Exits 0 when they are identical.
# Usage: tools/check-reproducible.sh [PRESET]   (default: win64)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-win64}
tools/install-deps.sh package

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvelline-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT
programs=(app/tarvelline.exe cli/tarvelline-cli.exe)
for copy in first second-folder; do
  git clone -q "$PWD" "$work/$copy"
  echo "== building $preset in $work/$copy"
  (cd "$work/$copy" &&
   cmake --preset "$preset" -DTVL_BUILD_TESTS=OFF >/dev/null &&
   cmake --build --preset "$preset" -j "$(nproc)" --target tarvelline tarvelline-cli >/dev/null)
done
status=0
for program in "${programs[@]}"; do
  a=$work/first/build/$preset/$program
  b=$work/second-folder/build/$preset/$program
  if cmp -s "$a" "$b"; then
    echo "same      $(sha256sum <"$a" | cut -c1-64)  $program"
  else
    echo "DIFFERENT $program: $(cmp "$a" "$b" | head -1)"
    status=1
  fi
done
exit $status
