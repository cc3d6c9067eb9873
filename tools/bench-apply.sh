#!/usr/bin/env bash
# tarvelline-cli apply against cp: a 117 MB target rebuilt from a 117 MB source, for each patch
# shape of bench/apply_bench.cpp (copies in order, copies scattered over the source, many small
# operations). Apply and cp runs alternate, so a neighbour's burst of work hits both alike; the
# medians are compared. Then one more run of apply is watched for its peak private (anonymous)
# memory: the pages of the source and output files it touches are the system's cache, not ours.
# Usage: tools/bench-apply.sh [build-dir] [runs] [shapes...]
#   (defaults: build/bench, 21 runs, all three shapes)
# TVL_APPLY_CLI runs another build's apply, for example the Windows one under Wine (with a
# WINEPREFIX made beforehand):
#   TVL_APPLY_CLI="tools/wine-loader build/win64/cli/tarvelline-cli.exe" tools/bench-apply.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
runs=${2:-21}
shift $(($# < 2 ? $# : 2))
shapes=("$@")
[ ${#shapes[@]} -eq 0 ] && shapes=(in-order scattered small-ops)

[ -f "$build/build.ninja" ] || cmake --preset bench -B "$build"
cmake --build "$build" --target tarvelline-cli apply_bench_gen >/dev/null

dir=$(mktemp -d "${TMPDIR:-/tmp}/tarvelline-apply-bench.XXXXXX")
trap 'rm -rf "$dir"' EXIT
read -r -a cli <<<"${TVL_APPLY_CLI:-$build/cli/tarvelline-cli}"

# Milliseconds taken by the command, with a sync first so no run pays for the writeback of the
# one before it. Each run makes a new file, as cp's does: an output that replaces a file is
# forced to the disk before it takes the old one's place, a cost of the disk, not of patching.
time_ms() {
  rm -f "$dir/out.bin" "$dir/copy.bin"
  sync
  local start=$EPOCHREALTIME
  "$@"
  local end=$EPOCHREALTIME
  echo $(((${end/./} - ${start/./}) / 1000))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The largest RssAnon of the command's process while it runs, in KiB. Polled as fast as the
# shell can read the status file, which is many times per millisecond of a run that takes a
# hundred; the decoder's buffers are allocated once and kept, so the peak lasts.
peak_anon_kib() {
  "$@" &
  local pid=$! peak=0 key value
  while [ -r "/proc/$pid/status" ]; do
    while read -r key value _; do
      if [ "$key" = "RssAnon:" ]; then
        [ "$value" -gt "$peak" ] && peak=$value
        break
      fi
    done <"/proc/$pid/status" 2>/dev/null || true
  done
  wait "$pid"
  echo "$peak"
}

table="shape       apply ms   cp ms   ratio   peak private MiB"
for shape in "${shapes[@]}"; do
  "$build/bench/apply_bench_gen" "$dir" 112 "$shape"
  apply=("${cli[@]}" apply --patch "$dir/patch.vcdiff" --source "$dir/source.bin" --output
         "$dir/out.bin")
  copy=(cp "$dir/expected.bin" "$dir/copy.bin")
  "${apply[@]}"
  cmp "$dir/out.bin" "$dir/expected.bin"
  # Warm-up: the files in the cache, the output's blocks allocated once.
  for _ in 1 2 3; do "${apply[@]}"; "${copy[@]}"; done

  apply_times=() copy_times=()
  for _ in $(seq "$runs"); do
    apply_times+=("$(time_ms "${apply[@]}")")
    copy_times+=("$(time_ms "${copy[@]}")")
  done
  apply_ms=$(printf '%s\n' "${apply_times[@]}" | median)
  copy_ms=$(printf '%s\n' "${copy_times[@]}" | median)
  echo "apply ms: ${apply_times[*]}"
  echo "cp ms:    ${copy_times[*]}"
  peak=$(peak_anon_kib "${apply[@]}")
  table+=$'\n'$(awk -v s="$shape" -v a="$apply_ms" -v c="$copy_ms" -v p="$peak" \
    'BEGIN { printf "%-11s %8d %7d %7.2f %18.1f", s, a, c, a / c, p / 1024 }')
  rm -f "$dir"/*.bin "$dir/patch.vcdiff"
done
echo
echo "$table"
