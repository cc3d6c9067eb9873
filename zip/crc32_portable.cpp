// The browser build has no zlib: CRC-32 by slicing by 4, a table a byte position.
#include <array>

#include "zip/crc32.h"

namespace tvl {
namespace {

using Tables = std::array<std::array<uint32_t, 256>, 4>;

constexpr Tables MakeTables() {
  Tables tables{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    tables[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n) {
    for (size_t t = 1; t < 4; ++t) {
      tables[t][n] = tables[0][tables[t - 1][n] & 0xFF] ^ (tables[t - 1][n] >> 8);
    }
  }
  return tables;
}

constexpr Tables kTables = MakeTables();

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  uint32_t c = ~crc;
  for (; size >= 4; size -= 4, data += 4) {
    c ^= uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 |
         uint32_t{data[3]} << 24;
    c = kTables[3][c & 0xFF] ^ kTables[2][(c >> 8) & 0xFF] ^ kTables[1][(c >> 16) & 0xFF] ^
        kTables[0][c >> 24];
  }
  for (; size > 0; --size) c = kTables[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
  return ~c;
}

}  // namespace tvl
