// SHA-1 on the x86 SHA extensions, picked at run time when the CPU has them.
#include "catalogue/sha1_blocks.h"
#include "platform/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace tvl {
namespace {

#define TVL_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

// W[4i..4i+3] for i >= 4, from the four previous groups of message words.
TVL_SHA_TARGET inline __m128i NextWords(__m128i w4, __m128i w3, __m128i w2, __m128i w1) {
  return _mm_sha1msg2_epu32(_mm_xor_si128(_mm_sha1msg1_epu32(w4, w3), w2), w1);
}

// Groups of four rounds sharing one round function. `abcd_prev` is ABCD as it stood when the
// previous group began: SHA1NEXTE derives this group's E from it. `i` numbers the groups, 0-19.
template <int kFunction, int kGroups>
TVL_SHA_TARGET inline void Groups(__m128i& abcd, __m128i& abcd_prev, __m128i w[4], int& i) {
  for (int g = 0; g < kGroups; ++g, ++i) {
    if (i >= 4) w[i & 3] = NextWords(w[i & 3], w[(i + 1) & 3], w[(i + 2) & 3], w[(i + 3) & 3]);
    __m128i e = _mm_sha1nexte_epu32(abcd_prev, w[i & 3]);
    abcd_prev = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e, kFunction);
  }
}

TVL_SHA_TARGET void Sha1BlocksShaNi(uint32_t state[5], const uint8_t* blocks, size_t count) {
  const __m128i kByteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  // The instructions keep A in the top lane and E alone in the top lane of its register.
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1b);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

  for (; count > 0; --count, blocks += 64) {
    const __m128i abcd_saved = abcd, e_saved = e0;
    __m128i w[4];
    for (int k = 0; k < 4; ++k) {
      w[k] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * k)),
                              kByteSwap);
    }
    // Group 0 adds E directly; every later group gets E through SHA1NEXTE.
    __m128i abcd_prev = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e0, w[0]), 0);
    int i = 1;
    Groups<0, 4>(abcd, abcd_prev, w, i);  // rounds 4-19
    Groups<1, 5>(abcd, abcd_prev, w, i);  // rounds 20-39
    Groups<2, 5>(abcd, abcd_prev, w, i);  // rounds 40-59
    Groups<3, 5>(abcd, abcd_prev, w, i);  // rounds 60-79
    e0 = _mm_sha1nexte_epu32(abcd_prev, e_saved);
    abcd = _mm_add_epi32(abcd, abcd_saved);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1b));
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

}  // namespace

Sha1BlocksFn Sha1BlocksShaExtensions() { return CpuHasShaExtensions() ? Sha1BlocksShaNi : nullptr; }

}  // namespace tvl

#else

namespace tvl {
Sha1BlocksFn Sha1BlocksShaExtensions() { return nullptr; }
}  // namespace tvl

#endif
