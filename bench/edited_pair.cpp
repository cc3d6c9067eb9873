#include "bench/edited_pair.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace tvl::bench {
namespace {

// A number in [low, high). The modulo's slight bias doesn't matter for test data, and unlike
// the standard distributions it gives the same numbers with every standard library.
uint64_t Between(std::mt19937_64& rng, uint64_t low, uint64_t high) {
  return low + rng() % (high - low);
}

void AppendRandom(std::mt19937_64& rng, std::vector<uint8_t>& out, uint64_t count) {
  const size_t start = out.size();
  out.resize(start + count);
  uint8_t* p = out.data() + start;
  for (uint64_t done = 0; done < count; done += 8) {
    const uint64_t word = rng();
    std::memcpy(p + done, &word, std::min<uint64_t>(8, count - done));
  }
}

}  // namespace

EditedPair MakeEditedPair(uint64_t source_size, uint64_t seed) {
  std::mt19937_64 rng(seed);
  EditedPair pair;
  pair.source.reserve(source_size);
  const uint8_t magic[] = {'I', 'W', 'A', 'D'};
  pair.source.assign(magic, magic + std::min<uint64_t>(4, source_size));
  AppendRandom(rng, pair.source, source_size - pair.source.size());

  // Added stretches outweigh removed ones only by chance, so the target is about as long.
  pair.target.reserve(source_size + source_size / 8 + 65536);
  uint64_t at = 0;
  while (at < source_size) {
    const uint64_t run = std::min(Between(rng, 200000, 2000000), source_size - at);
    pair.target.insert(pair.target.end(), pair.source.begin() + at, pair.source.begin() + at + run);
    at += run;
    uint64_t fresh = 0;
    switch (rng() % 3) {
      case 0:  // changed
        fresh = Between(rng, 16, 4096);
        at += Between(rng, 16, 4096);
        break;
      case 1:  // added
        fresh = Between(rng, 16, 65536);
        break;
      default:  // removed
        at += Between(rng, 16, 65536);
        break;
    }
    AppendRandom(rng, pair.target, fresh);
    pair.fresh_bytes += fresh;
  }
  return pair;
}

}  // namespace tvl::bench
