// A large pair of files of the shape the web bench converts: a random source that starts with
// "IWAD", and a target made of long runs copied in order from it with, between runs, a stretch
// changed, added or removed. The fresh bytes the edits bring can't be compressed, so their count
// is the floor under any patch between the two.
#pragma once

#include <cstdint>
#include <vector>

namespace tvl::bench {

struct EditedPair {
  std::vector<uint8_t> source;
  std::vector<uint8_t> target;
  uint64_t fresh_bytes = 0;  // random bytes the edits put in the target
};

// Runs of 200,000 to 2,000,000 bytes; a changed stretch puts 16 to 4095 random bytes in place of
// 16 to 4095, an added one 16 to 65535 random bytes, a removed one drops 16 to 65535. The same
// `seed` and size give the same pair on every platform.
EditedPair MakeEditedPair(uint64_t source_size, uint64_t seed);

}  // namespace tvl::bench
