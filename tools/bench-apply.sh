#!/usr/bin/env bash
# tarvelline-cli apply against cp on one 117 MB target rebuilt from a 117 MB source, in one run,
# and the peak memory of apply. Two patch shapes: copies in order, as between releases of a game,
# and copies scattered all over the source, the hardest case for reading it.
# Usage: tools/bench-apply.sh [build-dir]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
command -v hyperfine >/dev/null || tools/install-deps.sh native
command -v hyperfine >/dev/null || { sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo;
  $sudo apt-get install -y -q hyperfine; }
[ -f "$build/build.ninja" ] || cmake --preset bench -B "$build"
cmake --build "$build" --target tarvelline-cli apply_bench_gen

dir=$(mktemp -d "${TMPDIR:-/tmp}/tarvelline-apply-bench.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cli="$build/cli/tarvelline-cli"

for shape in in-order scattered; do
  echo "== copies $shape"
  "$build/bench/apply_bench_gen" "$dir" 112 "$shape"
  apply="$cli apply --patch $dir/patch.vcdiff --source $dir/source.bin --output $dir/out.bin"
  $apply
  cmp "$dir/out.bin" "$dir/expected.bin"

  # sync before each run, so that no run pays for the writeback of the one before it.
  hyperfine -N --prepare sync --warmup 3 --runs 30 --export-csv "$dir/times.csv" \
    "$apply" "cp $dir/expected.bin $dir/copy.bin"
  # One stray writeback can pull a mean far up, so the ratio is given for the median and the
  # fastest run as well.
  awk -F, 'NR == 2 { mean = $2; median = $4; fastest = $7 }
           NR == 3 { printf "apply / cp: mean %.2f, median %.2f, fastest %.2f\n",
                     mean / $2, median / $4, fastest / $7 }' "$dir/times.csv"
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -v $apply 2>&1 | grep -E "Maximum resident|Elapsed"
  fi
  rm -f "$dir"/*.bin "$dir/patch.vcdiff"
done
