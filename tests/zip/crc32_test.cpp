// CRC-32 as zip archives hold it. Built twice: with zlib's, and with the browser's own table.
#include "zip/crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/test_files.h"

namespace tvl {
namespace {

// One bit at a time, straight from the polynomial.
uint32_t BitwiseCrc32(uint32_t crc, const uint8_t* data, size_t size) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

uint32_t Crc32Of(const char* text) {
  return Crc32(0, reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

TEST(Crc32Test, KnownValues) {
  EXPECT_EQ(Crc32Of(""), 0u);
  EXPECT_EQ(Crc32Of("a"), 0xE8B7BE43u);
  EXPECT_EQ(Crc32Of("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32Of("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  const std::vector<uint8_t> zeros(1 << 20);
  EXPECT_EQ(Crc32(0, zeros.data(), zeros.size()), 0xA738EA1Cu);
}

// Nothing to add leaves the CRC as it was, with or without a buffer (zlib's own function takes
// a null buffer as a request for its initial value).
TEST(Crc32Test, NoBytesChangeNothing) {
  EXPECT_EQ(Crc32(0xCBF43926u, nullptr, 0), 0xCBF43926u);
  const uint8_t byte = 7;
  EXPECT_EQ(Crc32(0x12345678u, &byte, 0), 0x12345678u);
}

// Every length and alignment, whole or in two parts, gives the bitwise result.
TEST(Crc32Test, AnyLengthAlignmentAndSplitMatchesTheBitwiseCrc) {
  const std::vector<uint8_t> bytes = testing::RandomBytes(1100, 32);
  for (size_t start = 0; start < 4; ++start) {
    for (size_t size = 0; start + size <= bytes.size(); size += (size < 40 ? 1 : 37)) {
      const uint8_t* data = bytes.data() + start;
      const uint32_t expected = BitwiseCrc32(0, data, size);
      ASSERT_EQ(Crc32(0, data, size), expected) << start << " " << size;
      const size_t half = size / 3;
      ASSERT_EQ(Crc32(Crc32(0, data, half), data + half, size - half), expected)
          << start << " " << size;
    }
  }
}

}  // namespace
}  // namespace tvl
