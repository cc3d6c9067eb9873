#include "vcdiff/adler32.h"

#include <random>
#include <vector>

#include "gtest/gtest.h"
#include "vcdiff/x86/adler32_x86.h"

namespace tvl {
namespace {

// Byte-at-a-time reference with a modulo after every byte.
uint32_t Reference(uint32_t adler, const std::vector<uint8_t>& bytes) {
  uint32_t s1 = adler & 0xFFFF, s2 = adler >> 16;
  for (uint8_t byte : bytes) {
    s1 = (s1 + byte) % 65521;
    s2 = (s2 + s1) % 65521;
  }
  return (s2 << 16) | s1;
}

TEST(Adler32, KnownValues) {
  const std::string text = "Wikipedia";
  EXPECT_EQ(Adler32(1, reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0x11E60398u);
  EXPECT_EQ(Adler32(1, nullptr, 0), 1u);
}

TEST(Adler32, EveryImplementationAgreesWithTheReference) {
  std::vector<uint32_t (*)(uint32_t, const uint8_t*, size_t)> implementations = {Adler32,
                                                                                 Adler32Portable};
#if TVL_X86
  if (CpuHasSsse3()) implementations.push_back(Adler32Ssse3);
#endif
#if TVL_AVX2
  if (CpuHasAvx2()) implementations.push_back(Adler32Avx2);
#endif
  std::mt19937 random(7);
  std::vector<size_t> sizes;
  for (size_t size = 0; size < 200; ++size) sizes.push_back(size);
  for (size_t size : {5535, 5536, 5551, 5552, 5553, 11104, 11105, 100003}) sizes.push_back(size);
  for (size_t size : sizes) {
    std::vector<uint8_t> random_bytes(size), worst(size, 0xFF);
    for (uint8_t& byte : random_bytes) byte = static_cast<uint8_t>(random());
    for (const auto* bytes : {&random_bytes, &worst}) {
      // Unreduced start values too: s1 and s2 of 0xFFFF.
      for (uint32_t start : {1u, 0xFFF0FFF0u, 0xFFFFFFFFu}) {
        const uint32_t expected = Reference(start, *bytes);
        for (auto* implementation : implementations) {
          ASSERT_EQ(implementation(start, bytes->data(), size), expected)
              << "size " << size << " start " << start;
        }
      }
    }
  }
}

TEST(Adler32, ContinuesAcrossRuns) {
  std::vector<uint8_t> bytes(70000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
  const uint32_t whole = Adler32(1, bytes.data(), bytes.size());
  for (size_t split : {1, 33, 5552, 40000}) {
    EXPECT_EQ(Adler32(Adler32(1, bytes.data(), split), bytes.data() + split, bytes.size() - split),
              whole);
  }
}

}  // namespace
}  // namespace tvl
