#!/usr/bin/env bash
# Identification against the system's SHA-1 tools on one 100 MB file, in one run.
# Usage: tools/bench-identify.sh [build-dir]   (default build/native)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
tools/install-deps.sh bench
[ -x "$build/cli/tarvelline-cli" ] || { cmake --preset native && cmake --build --preset native; }

file=$(mktemp "${TMPDIR:-/tmp}/tarvelline-bench.XXXXXX")
trap 'rm -f "$file"' EXIT
head -c 100000000 /dev/urandom >"$file"
hyperfine -N --warmup 3 --runs 15 \
  "$build/cli/tarvelline-cli identify $file" "openssl sha1 $file" "sha1sum $file"
