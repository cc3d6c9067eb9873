// RFC 3284 section 2 integers: big-endian base 128, bit 0x80 set on every byte but the last.
#pragma once

#include <cstdint>
#include <vector>

namespace tvl {

// Longest encoding of a 64-bit value.
inline constexpr int kMaxVarintSize = 10;

// Length in bytes of the shortest encoding of `value`.
constexpr int VarintSize(uint64_t value) {
  int size = 1;
  while (value >= 128) {
    value >>= 7;
    ++size;
  }
  return size;
}

// Writes the shortest encoding of `value` to `out` (at least VarintSize(value) bytes) and
// returns its length.
inline int WriteVarint(uint64_t value, uint8_t* out) {
  const int size = VarintSize(value);
  for (int i = size - 1; i >= 0; --i) {
    out[i] = static_cast<uint8_t>((value & 0x7F) | (i == size - 1 ? 0 : 0x80));
    value >>= 7;
  }
  return size;
}

// Appends the shortest encoding of `value` to `out`.
inline void AppendVarint(std::vector<uint8_t>& out, uint64_t value) {
  uint8_t bytes[kMaxVarintSize];
  out.insert(out.end(), bytes, bytes + WriteVarint(value, bytes));
}

static_assert(VarintSize(127) == 1 && VarintSize(128) == 2 && VarintSize(~0ull) == 10);

}  // namespace tvl
