// Encoder figures on real IWADs: patch size, time and round trip, for
//   freedoom1.wad -> freedoom2.wad   and   freedoom2.wad -> freedm.wad
// from Debian's freedoom and freedm packages (free software). The directory comes from
// TVL_FREEDOOM_DIR, else the packages' install directory. A synthetic pair runs everywhere, and
// so do large edited pairs of 100, 300 and 1000 MB (the web bench's shape), whose patch is
// weighed against the fresh bytes their edits brought (patch_per_fresh: 1.0 is the floor).
//
// Peak memory: run one case under a resource meter, e.g.
//   time -v vcdiff_encode_bench --benchmark_filter=Freedoom1To2
// An edited pair of N MB holds 2N MB itself here; make-patch holds only the source and reads the
// target a window at a time. peak_encode_mb is the peak before the round trip (Linux counts it in
// KiB, shown here / 1024).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#endif

#include "bench/edited_pair.h"
#include "vcdiff/encoder/encoder.h"
#include "vcdiff/encoder/round_trip.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string FreedoomDir() {
  const char* dir = std::getenv("TVL_FREEDOOM_DIR");
  return dir != nullptr ? dir : "/usr/share/games/doom";
}

Bytes LoadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// An edited copy of random data: what an encoder sees when most of a file survives.
void MakeSyntheticPair(Bytes& source, Bytes& target) {
  std::mt19937 rng(1);
  source.resize(24 << 20);
  for (auto& b : source) b = static_cast<uint8_t>(rng() % 64);  // compressible, like graphics
  target.clear();
  while (target.size() < source.size()) {
    const size_t at = rng() % (source.size() - 70000);
    target.insert(target.end(), source.begin() + at, source.begin() + at + 1000 + rng() % 60000);
    for (int i = 0; i < 500; ++i) target.push_back(static_cast<uint8_t>(rng()));
  }
}

// The process's peak memory so far in MB; 0 where the system doesn't say.
double PeakMemoryMB() {
#if __has_include(<sys/resource.h>)
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) == 0) return static_cast<double>(usage.ru_maxrss) / 1024;
#endif
  return 0;
}

void RunEncode(benchmark::State& state, const Bytes& source, const Bytes& target,
               const char* target_name, const char* source_name) {
  if (source.empty() || target.empty()) {
    state.SkipWithError(
        "input files not found (install freedoom and freedm, or set "
        "TVL_FREEDOOM_DIR)");
    return;
  }
  const tvl::EncodeOptions options{target_name, source_name};
  Bytes patch;
  tvl::EncodeResult result;
  for (auto _ : state) {
    result = tvl::EncodeDelta(source, target, options, patch);
    benchmark::DoNotOptimize(patch.data());
  }
  if (result.status != tvl::EncodeStatus::kOk) {
    state.SkipWithError(result.message);
    return;
  }
  state.counters["peak_encode_mb"] = PeakMemoryMB();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * target.size()));
  state.counters["patch_bytes"] = static_cast<double>(patch.size());
  state.counters["target_bytes"] = static_cast<double>(target.size());
  state.counters["windows"] = static_cast<double>(result.windows);
  state.counters["copy_source_bytes"] = static_cast<double>(result.stats.source_copy_bytes);
  state.counters["copy_window_bytes"] = static_cast<double>(result.stats.target_copy_bytes);
  state.counters["add_bytes"] = static_cast<double>(result.stats.add_bytes);
  state.counters["run_bytes"] = static_cast<double>(result.stats.run_bytes);
  state.counters["round_trip_ok"] = tvl::VerifyDelta(source, target, patch).rebuilt ? 1 : 0;
}

void BM_EncodeFreedoom1To2(benchmark::State& state) {
  static const Bytes source = LoadFile(FreedoomDir() + "/freedoom1.wad");
  static const Bytes target = LoadFile(FreedoomDir() + "/freedoom2.wad");
  RunEncode(state, source, target, "freedoom2.wad", "freedoom1.wad");
}

void BM_EncodeFreedoom2ToFreedm(benchmark::State& state) {
  static const Bytes source = LoadFile(FreedoomDir() + "/freedoom2.wad");
  static const Bytes target = LoadFile(FreedoomDir() + "/freedm.wad");
  RunEncode(state, source, target, "freedm.wad", "freedoom2.wad");
}

void BM_EncodeSynthetic(benchmark::State& state) {
  static Bytes source, target;
  if (source.empty()) MakeSyntheticPair(source, target);
  RunEncode(state, source, target, "target.bin", "source.bin");
}

void BM_EncodeEditedPair(benchmark::State& state) {
  const tvl::bench::EditedPair pair =
      tvl::bench::MakeEditedPair(static_cast<uint64_t>(state.range(0)) * 1000000, 22);
  RunEncode(state, pair.source, pair.target, "target.wad", "source.wad");
  state.counters["fresh_bytes"] = static_cast<double>(pair.fresh_bytes);
  state.counters["patch_per_fresh"] =
      state.counters["patch_bytes"] / static_cast<double>(pair.fresh_bytes);
}

BENCHMARK(BM_EncodeFreedoom1To2)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EncodeFreedoom2ToFreedm)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EncodeSynthetic)->Unit(benchmark::kMillisecond)->Iterations(3);
// Source sizes in MB; one encoding each, as a 1000 MB pair alone takes 2 GB.
BENCHMARK(BM_EncodeEditedPair)
    ->Arg(100)
    ->Arg(300)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
