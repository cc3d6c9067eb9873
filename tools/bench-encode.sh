#!/usr/bin/env bash
# make-patch against xdelta3 -9 -S none (Debian's generic delta tool, as a black box) on the web
# bench's pairs: the patch's size, the wall time and the peak memory of each, by turns, ROUNDS
# rounds per pair. make-patch holds the source whole and reads the target a window at a time;
# xdelta3 streams both.
# Usage: tools/bench-encode.sh [ROUNDS] [MB...]   (default 2 rounds; 100, 300 and 1000 MB pairs)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-2}
sizes=("${@:2}")
[ ${#sizes[@]} -eq 0 ] && sizes=(100 300 1000)
tools/install-deps.sh bench >/dev/null
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target tarvelline-cli >/dev/null
cli=build/bench/cli/tarvelline-cli

data=$(mktemp -d "${TMPDIR:-/tmp}/tarvelline-encode-bench.XXXXXX")
trap 'rm -rf "$data"' EXIT

# Prints "BYTES SECONDS PEAK_MIB" for one run of the command that writes $data/patch.
measure() {
  rm -f "$data/patch"
  /usr/bin/time -f "%e %M" -o "$data/time" "$@" >/dev/null
  local wall kib
  read -r wall kib <"$data/time"
  echo "$(stat -c %s "$data/patch") $wall $((kib / 1024))"
}

for megabytes in "${sizes[@]}"; do
  python3 tools/make-bench-pair.py "$data" "$megabytes" --pair-only
  for round in $(seq "$rounds"); do
    read -r ours_size ours_wall ours_peak < <(measure "$cli" make-patch --source "$data/source.wad" \
      --target "$data/target.wad" --output "$data/patch")
    read -r theirs_size theirs_wall theirs_peak < <(measure xdelta3 -9 -S none -f -e \
      -s "$data/source.wad" "$data/target.wad" "$data/patch")
    echo "$megabytes MB, round $round: make-patch $ours_size bytes, ${ours_wall} s, $ours_peak MiB;" \
      "xdelta3 $theirs_size bytes, ${theirs_wall} s, $theirs_peak MiB;" \
      "size ratio $(awk -v a="$ours_size" -v b="$theirs_size" 'BEGIN { printf "%.5f", a / b }')"
  done
done
