// One vectorised Adler-32 body for both vector lengths. adler32_x86.cpp includes this file once
// per instruction set, with these defined (they are undefined again at the end):
//   ADLER32_FUNCTION  the function's name
//   ADLER32_TARGET    the instruction set, as the function's target attribute
//   ADLER32_VL        bytes per vector: 16 (SSSE3) or 32 (AVX2)
// Only the names of the intrinsics differ between the two; each function must be compiled for its
// own instruction set, and a C++ template can't give its instances different ones.
//
// For a block of n bytes d[0..n-1] entered with sums s1, s2:
//   s1' = s1 + sum(d[i])
//   s2' = s2 + n * s1 + sum((n - i) * d[i])
// Over a run of blocks, the n * s1 terms are n times the sum of s1 before each block, so the loop
// keeps three vectors: the byte sums (SAD against zero), the running total of those sums before
// each block, and the weighted sums (unsigned-by-signed byte products, then pairs of 16-bit
// sums). The sums are folded and reduced once per run of at most kAdler32MaxDeferred bytes;
// every lane stays far below 2^32 over such a run, and the fold is done in 64 bits.

#if ADLER32_VL == 16
#define ADLER32_VEC __m128i
#define ADLER32_LOAD(p) _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))
#define ADLER32_STORE(p, v) _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v)
#define ADLER32_ZERO _mm_setzero_si128
#define ADLER32_SET1_16 _mm_set1_epi16
#define ADLER32_ADD_32 _mm_add_epi32
#define ADLER32_SAD _mm_sad_epu8
#define ADLER32_MADDUBS _mm_maddubs_epi16
#define ADLER32_MADD _mm_madd_epi16
#elif ADLER32_VL == 32
#define ADLER32_VEC __m256i
#define ADLER32_LOAD(p) _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))
#define ADLER32_STORE(p, v) _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v)
#define ADLER32_ZERO _mm256_setzero_si256
#define ADLER32_SET1_16 _mm256_set1_epi16
#define ADLER32_ADD_32 _mm256_add_epi32
#define ADLER32_SAD _mm256_sad_epu8
#define ADLER32_MADDUBS _mm256_maddubs_epi16
#define ADLER32_MADD _mm256_madd_epi16
#else
#error "ADLER32_VL must be 16 or 32"
#endif

__attribute__((target(ADLER32_TARGET))) uint32_t ADLER32_FUNCTION(uint32_t adler,
                                                                  const uint8_t* data,
                                                                  size_t size) {
  constexpr size_t kBlock = ADLER32_VL;
  constexpr size_t kRunBlocks = kAdler32MaxDeferred / kBlock;
  constexpr size_t kLanes = kBlock / 4;
  uint64_t s1 = adler & 0xFFFF;
  uint64_t s2 = adler >> 16;
  // Byte i of a block weighs n - i.
  const ADLER32_VEC weights =
      ADLER32_LOAD(kDescendingWeights + sizeof(kDescendingWeights) - kBlock);
  const ADLER32_VEC ones = ADLER32_SET1_16(1);
  const ADLER32_VEC zero = ADLER32_ZERO();
  while (size >= kBlock) {
    const size_t blocks = size / kBlock < kRunBlocks ? size / kBlock : kRunBlocks;
    size -= blocks * kBlock;
    ADLER32_VEC byte_sums = zero;
    ADLER32_VEC prefix_sums = zero;
    ADLER32_VEC weighted = zero;
    for (size_t i = 0; i < blocks; ++i, data += kBlock) {
      const ADLER32_VEC bytes = ADLER32_LOAD(data);
      prefix_sums = ADLER32_ADD_32(prefix_sums, byte_sums);
      byte_sums = ADLER32_ADD_32(byte_sums, ADLER32_SAD(bytes, zero));
      weighted = ADLER32_ADD_32(weighted, ADLER32_MADD(ADLER32_MADDUBS(bytes, weights), ones));
    }
    uint32_t lanes[3][kLanes];
    ADLER32_STORE(lanes[0], byte_sums);
    ADLER32_STORE(lanes[1], prefix_sums);
    ADLER32_STORE(lanes[2], weighted);
    uint64_t sums[3] = {};
    for (int v = 0; v < 3; ++v) {
      for (uint32_t lane : lanes[v]) sums[v] += lane;
    }
    s2 += s1 * blocks * kBlock + kBlock * sums[1] + sums[2];
    s1 += sums[0];
    s1 %= kAdler32Base;
    s2 %= kAdler32Base;
  }
  return Adler32Portable(static_cast<uint32_t>((s2 << 16) | s1), data, size);
}

#undef ADLER32_VEC
#undef ADLER32_LOAD
#undef ADLER32_STORE
#undef ADLER32_ZERO
#undef ADLER32_SET1_16
#undef ADLER32_ADD_32
#undef ADLER32_SAD
#undef ADLER32_MADDUBS
#undef ADLER32_MADD
#undef ADLER32_FUNCTION
#undef ADLER32_TARGET
#undef ADLER32_VL
