// Adler-32 over 16 (SSSE3) or 32 (AVX2) bytes per step: one body, adler32_x86_template.h, built
// once for each instruction set.
#include "vcdiff/x86/adler32_x86.h"

#include "vcdiff/adler32.h"

#if TVL_X86
#include <immintrin.h>

namespace tvl {
namespace {

// The weights of a block's bytes, 32 down to 1; a 16-byte block takes the last 16.
constexpr uint8_t kDescendingWeights[32] = {32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22,
                                            21, 20, 19, 18, 17, 16, 15, 14, 13, 12, 11,
                                            10, 9,  8,  7,  6,  5,  4,  3,  2,  1};

}  // namespace

#define ADLER32_FUNCTION Adler32Ssse3
#define ADLER32_TARGET "ssse3"
#define ADLER32_VL 16
#include "vcdiff/x86/adler32_x86_template.h"

#if TVL_AVX2
#define ADLER32_FUNCTION Adler32Avx2
#define ADLER32_TARGET "avx2"
#define ADLER32_VL 32
#include "vcdiff/x86/adler32_x86_template.h"
#endif  // TVL_AVX2

}  // namespace tvl
#endif  // TVL_X86
