// A hash index over a byte array: each position is filed under the hash of the `width` bytes
// that start there, in a bucket of kBucketWays slots that keeps the newest positions (in no
// particular order). A lookup reads one bucket, so all its candidates are known after one memory
// access, where a hash chain would make every step wait for the one before. Each slot also holds
// a second, independent hash of the bytes, so candidates that merely share the bucket are
// dropped without touching their data.
// Positions are 32-bit; the encoder refuses inputs that would not fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tvl {

inline constexpr uint32_t kNoPosition = 0xFFFFFFFFu;

// Slots per bucket: 16 slots of 8 bytes fill two 64-byte cache lines.
inline constexpr uint32_t kBucketWays = 16;

struct HashSlot {
  uint32_t position;  // kNoPosition: empty
  uint32_t check;     // second hash of the bytes at `position`
};

struct HashBuckets {
  uint32_t width = 4;             // bytes hashed, 4 to 8
  uint32_t shift = 44;            // 64 - log2(bucket count)
  std::vector<HashSlot> storage;  // the buckets, plus room to align them
  size_t first = 0;               // bucket b is storage[first + b * kBucketWays ...]
  // Per bucket, the slot written next: slots are reused oldest first. Kept apart from the
  // buckets, this small array mostly stays in the cache.
  std::vector<uint8_t> next_slot;
};

struct HashKey {
  uint64_t bucket;
  uint32_t check;
};

// log2 of the bucket count that gives about two slots per position for `capacity` positions, so
// that few buckets overflow: at least 10, at most `max_bits`.
uint32_t BucketBitsFor(size_t capacity, uint32_t max_bits);

// Sizes the index to 2^bucket_bits buckets for hashes of `width` bytes, and empties it.
void InitHashBuckets(HashBuckets& index, uint32_t width, uint32_t bucket_bits);

// log2 of the index's bucket count.
inline uint32_t BucketBits(const HashBuckets& index) { return 64 - index.shift; }

// Forgets every position; keeps the memory.
void ClearHashBuckets(HashBuckets& index);

// Bytes that must be readable from a position for it to be hashed.
inline size_t HashReach(const HashBuckets& index) { return index.width == 4 ? 4 : 8; }

// The key of the bytes at `p` (HashReach bytes readable).
inline HashKey KeyAt(const HashBuckets& index, const uint8_t* p) {
  uint64_t value;
  if (index.width == 4) {
    uint32_t word;
    std::memcpy(&word, p, 4);
    value = word;
  } else {
    std::memcpy(&value, p, 8);
    if (index.width < 8) value &= (uint64_t{1} << (8 * index.width)) - 1;
  }
  // Multiplicative hashing: the multiply spreads every input bit into the top bits we keep. Two
  // different odd constants give two independent hashes.
  return {(value * 0x9E3779B97F4A7C15ull) >> index.shift,
          static_cast<uint32_t>((value * 0xC2B2AE3D27D4EB4Full) >> 32)};
}

inline HashSlot* BucketFor(HashBuckets& index, const HashKey& key) {
  return index.storage.data() + index.first + key.bucket * kBucketWays;
}

inline const HashSlot* BucketFor(const HashBuckets& index, const HashKey& key) {
  return index.storage.data() + index.first + key.bucket * kBucketWays;
}

// True once the index has been sized.
inline bool IsReady(const HashBuckets& index) { return !index.storage.empty(); }

// True when the `width` + 1 bytes at `p` are all equal. Such positions lie inside a run and are
// left out: they would fill a bucket with equal candidates and push out the ones that differ.
// The run's last positions still get in, and RUN instructions cover the rest.
inline bool InsideRun(const HashBuckets& index, const uint8_t* p) {
  for (uint32_t i = 1; i <= index.width; ++i) {
    if (p[i] != p[0]) return false;
  }
  return true;
}

// Files position `pos` of `data` (HashReach bytes readable there) in place of the bucket's
// oldest position.
inline void InsertPosition(HashBuckets& index, const uint8_t* data, uint32_t pos) {
  const HashKey key = KeyAt(index, data + pos);
  uint8_t& next = index.next_slot[key.bucket];
  BucketFor(index, key)[next] = {pos, key.check};
  next = static_cast<uint8_t>((next + 1) % kBucketWays);
}

// Files every `step`-th position from `begin` to before `end` of `data`, which is `size` bytes
// long; positions without HashReach bytes after them and positions inside runs are skipped.
void InsertRange(HashBuckets& index, const uint8_t* data, size_t size, size_t begin, size_t end,
                 size_t step = 1);

}  // namespace tvl
