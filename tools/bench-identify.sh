#!/usr/bin/env bash
# Identification against the system's SHA-1 tools on one 100 MB file, and of the same size of
# release in a deflate zip against unzip piped into sha1sum, in one run.
# Usage: tools/bench-identify.sh [build-dir]   (default build/native)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
tools/install-deps.sh bench
[ -x "$build/cli/tarvelline-cli" ] || { cmake --preset native && cmake --build --preset native; }
cli="$build/cli/tarvelline-cli"

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvelline-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
file="$work/file.wad"
head -c 100000000 /dev/urandom >"$file"
# -i: identify exits 1 for a file that is no known release, as these are.
hyperfine -N -i --warmup 3 --runs 15 "$cli identify $file" "openssl sha1 $file" "sha1sum $file"

# A release compresses to about half; base64 text of random bytes deflates to about three
# quarters, so inflating it is no easier than a real one.
# 75 MB of random bytes make exactly 100 MB of base64, and no pipe is cut short.
head -c 75000000 /dev/urandom | base64 -w 0 >"$work/release.wad"
(cd "$work" && zip -q -6 release.zip release.wad)
ls -l "$work/release.zip"
hyperfine -i --warmup 2 --runs 10 "$cli identify $work/release.zip" \
  "unzip -p $work/release.zip | sha1sum"
