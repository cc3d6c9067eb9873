// The portable SHA-1's throughput on its own, in one source for both sides of a comparison: built
// natively it reports the path the page would take on a CPU without SHA instructions; built as
// WebAssembly (web/, with benchmarks on) it runs in the browser. Hashes MIB MiB of memory ROUNDS
// times and prints the best round as "sha1_mb_per_s N" (decimal megabytes); as WebAssembly, also
// "sha1_simd128_mb_per_s N" for the SIMD path the page's core takes, whose digest must agree.
// usage: sha1_throughput [MIB] [ROUNDS]   (default 64 and 5)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "catalogue/sha1_blocks.h"

int main(int argc, char** argv) {
  const long mib = argc > 1 ? std::atol(argv[1]) : 64;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  if (mib <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: sha1_throughput [MIB] [ROUNDS]\n");
    return 2;
  }
  std::vector<uint8_t> data(static_cast<size_t>(mib) << 20);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
  // The best round's MB/s with `blocks`, and its digest.
  const auto measure = [&](tvl::Sha1BlocksFn blocks, uint8_t digest[tvl::kSha1DigestSize]) {
    double best = 0;
    for (int round = 0; round < rounds; ++round) {
      const auto start = std::chrono::steady_clock::now();
      tvl::Sha1Context context;
      tvl::Sha1InitWith(&context, blocks);
      tvl::Sha1Update(&context, data.data(), data.size());
      tvl::Sha1Final(&context, digest);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (seconds > 0) best = std::max(best, static_cast<double>(data.size()) / seconds / 1e6);
    }
    return best;
  };
  uint8_t portable[tvl::kSha1DigestSize];
  std::printf("sha1_mb_per_s %.0f\n", measure(tvl::Sha1BlocksPortable, portable));
  // The path the page's core takes, where it has one of its own.
  if (tvl::Sha1BlocksFn simd = tvl::Sha1BlocksWasmSimd()) {
    uint8_t digest[tvl::kSha1DigestSize];
    std::printf("sha1_simd128_mb_per_s %.0f\n", measure(simd, digest));
    if (!std::equal(digest, digest + sizeof digest, portable)) {
      std::fprintf(stderr, "the SIMD path's digest differs from the portable one's\n");
      return 1;
    }
  }
  return 0;
}
