// Adler-32 over 16 (SSSE3) or 32 (AVX2) bytes per step.
//
// For a block of n bytes d[0..n-1] entered with sums s1, s2:
//   s1' = s1 + sum(d[i])
//   s2' = s2 + n * s1 + sum((n - i) * d[i])
// Over a run of blocks, the n * s1 terms are n times the sum of s1 before each block, so the loop
// keeps three vectors: the byte sums (SAD against zero), the running total of those sums before
// each block, and the weighted sums (unsigned-by-signed byte products, then pairs of 16-bit
// sums). The sums are folded and reduced once per run of at most kAdler32MaxDeferred bytes;
// every lane stays far below 2^32 over such a run, and the fold is done in 64 bits.
#include "vcdiff/x86/adler32_x86.h"

#include "vcdiff/adler32.h"

#if TVL_X86
#include <immintrin.h>

namespace tvl {
namespace {

template <size_t kLanes>
uint64_t SumLanes(const uint32_t (&lanes)[kLanes]) {
  uint64_t sum = 0;
  for (uint32_t lane : lanes) sum += lane;
  return sum;
}

__attribute__((target("ssse3"))) uint64_t SumLanes128(__m128i v) {
  uint32_t lanes[4];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), v);
  return SumLanes(lanes);
}

#if TVL_AVX2
__attribute__((target("avx2"))) uint64_t SumLanes256(__m256i v) {
  uint32_t lanes[8];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), v);
  return SumLanes(lanes);
}
#endif

}  // namespace

__attribute__((target("ssse3"))) uint32_t Adler32Ssse3(uint32_t adler, const uint8_t* data,
                                                       size_t size) {
  constexpr size_t kBlock = 16;
  constexpr size_t kRunBlocks = kAdler32MaxDeferred / kBlock;
  uint64_t s1 = adler & 0xFFFF;
  uint64_t s2 = adler >> 16;
  const __m128i weights = _mm_set_epi8(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  const __m128i ones = _mm_set1_epi16(1);
  const __m128i zero = _mm_setzero_si128();
  while (size >= kBlock) {
    const size_t blocks = size / kBlock < kRunBlocks ? size / kBlock : kRunBlocks;
    size -= blocks * kBlock;
    __m128i byte_sums = zero;
    __m128i prefix_sums = zero;
    __m128i weighted = zero;
    for (size_t i = 0; i < blocks; ++i, data += kBlock) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
      prefix_sums = _mm_add_epi32(prefix_sums, byte_sums);
      byte_sums = _mm_add_epi32(byte_sums, _mm_sad_epu8(bytes, zero));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_maddubs_epi16(bytes, weights), ones));
    }
    s2 += s1 * blocks * kBlock + kBlock * SumLanes128(prefix_sums) + SumLanes128(weighted);
    s1 += SumLanes128(byte_sums);
    s1 %= kAdler32Base;
    s2 %= kAdler32Base;
  }
  return Adler32Portable(static_cast<uint32_t>((s2 << 16) | s1), data, size);
}

#if TVL_AVX2
__attribute__((target("avx2"))) uint32_t Adler32Avx2(uint32_t adler, const uint8_t* data,
                                                     size_t size) {
  constexpr size_t kBlock = 32;
  constexpr size_t kRunBlocks = kAdler32MaxDeferred / kBlock;
  uint64_t s1 = adler & 0xFFFF;
  uint64_t s2 = adler >> 16;
  const __m256i weights =
      _mm256_set_epi8(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                      23, 24, 25, 26, 27, 28, 29, 30, 31, 32);
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i zero = _mm256_setzero_si256();
  while (size >= kBlock) {
    const size_t blocks = size / kBlock < kRunBlocks ? size / kBlock : kRunBlocks;
    size -= blocks * kBlock;
    __m256i byte_sums = zero;
    __m256i prefix_sums = zero;
    __m256i weighted = zero;
    for (size_t i = 0; i < blocks; ++i, data += kBlock) {
      const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
      prefix_sums = _mm256_add_epi32(prefix_sums, byte_sums);
      byte_sums = _mm256_add_epi32(byte_sums, _mm256_sad_epu8(bytes, zero));
      weighted =
          _mm256_add_epi32(weighted, _mm256_madd_epi16(_mm256_maddubs_epi16(bytes, weights), ones));
    }
    s2 += s1 * blocks * kBlock + kBlock * SumLanes256(prefix_sums) + SumLanes256(weighted);
    s1 += SumLanes256(byte_sums);
    s1 %= kAdler32Base;
    s2 %= kAdler32Base;
  }
  return Adler32Portable(static_cast<uint32_t>((s2 << 16) | s1), data, size);
}
#endif  // TVL_AVX2

}  // namespace tvl
#endif  // TVL_X86
