#include "vcdiff/encoder/hash_buckets.h"

#include <algorithm>

namespace tvl {

namespace {
constexpr HashSlot kEmptySlot = {kNoPosition, 0};
}  // namespace

uint32_t BucketBitsFor(size_t capacity, uint32_t max_bits) {
  uint32_t bits = 10;
  while (bits < max_bits && (uint64_t{kBucketWays} << bits) < 2 * uint64_t{capacity}) {
    ++bits;
  }
  return bits;
}

void InitHashBuckets(HashBuckets& index, uint32_t width, uint32_t bits) {
  index.width = width;
  index.shift = 64 - bits;
  const size_t slot_count = size_t{kBucketWays} << bits;
  // Room to start the first bucket on a cache line, so that each bucket covers whole lines.
  constexpr size_t kLine = 64;
  index.storage.assign(slot_count + kLine / sizeof(HashSlot), kEmptySlot);
  const auto address = reinterpret_cast<uintptr_t>(index.storage.data());
  index.first = (kLine - address % kLine) % kLine / sizeof(HashSlot);
  index.next_slot.assign(size_t{1} << bits, 0);
}

void ClearHashBuckets(HashBuckets& index) {
  std::fill(index.storage.begin(), index.storage.end(), kEmptySlot);
  std::fill(index.next_slot.begin(), index.next_slot.end(), 0);
}

void InsertRange(HashBuckets& index, const uint8_t* data, size_t size, size_t begin, size_t end,
                 size_t step) {
  const size_t reach = HashReach(index);
  if (size < reach) return;
  const size_t last = size - reach;  // the last position with `reach` bytes
  end = std::min(end, last + 1);
  // Each insert touches a random bucket; asking for the one a few positions on hides most of
  // the wait for memory.
  constexpr size_t kAhead = 8;
  for (size_t pos = begin; pos < end; pos += step) {
    if (pos + kAhead * step < end) {
      __builtin_prefetch(BucketFor(index, KeyAt(index, data + pos + kAhead * step)), 1);
    }
    // InsideRun reads one byte beyond the hashed ones, which the last position lacks.
    if (pos < last && InsideRun(index, data + pos)) continue;
    InsertPosition(index, data, static_cast<uint32_t>(pos));
  }
}

}  // namespace tvl
