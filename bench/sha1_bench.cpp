// SHA-1 throughput of each compression path, and of whole-file identification.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "catalogue/identify.h"
#include "catalogue/sha1.h"
#include "catalogue/sha1_blocks.h"

namespace tvl {
namespace {

void HashWith(benchmark::State& state, Sha1BlocksFn blocks) {
  if (!blocks) {
    state.SkipWithError("this CPU lacks the SHA extensions");
    return;
  }
  std::vector<uint8_t> data(static_cast<size_t>(state.range(0)), 0x5a);
  for (auto _ : state) {
    Sha1Context context;
    Sha1InitWith(&context, blocks);
    Sha1Update(&context, data.data(), data.size());
    uint8_t digest[kSha1DigestSize];
    Sha1Final(&context, digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_Sha1Portable(benchmark::State& state) { HashWith(state, Sha1BlocksPortable); }
void BM_Sha1ShaExtensions(benchmark::State& state) { HashWith(state, Sha1BlocksShaExtensions()); }
BENCHMARK(BM_Sha1Portable)->Arg(8192)->Arg(1 << 24);
BENCHMARK(BM_Sha1ShaExtensions)->Arg(8192)->Arg(1 << 24);

// Hashing a 64 MiB file in identification's 8192-byte reads (warm page cache).
void BM_Sha1OfFile(benchmark::State& state) {
  const Path path = std::filesystem::temp_directory_path() / "tvl-sha1-bench.bin";
  {
    File file = File::CreateForWrite(path);
    std::vector<uint8_t> chunk(1 << 20, 0xa5);
    for (int i = 0; i < 64; ++i) file.Write(chunk.data(), chunk.size());
  }
  for (auto _ : state) benchmark::DoNotOptimize(Sha1OfFile(path));
  state.SetBytesProcessed(state.iterations() * (int64_t{64} << 20));
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}
BENCHMARK(BM_Sha1OfFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tvl

BENCHMARK_MAIN();
