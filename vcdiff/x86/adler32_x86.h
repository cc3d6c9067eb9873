// Vectorised Adler-32 for x86; callers check the CPU first (platform/cpu_features.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/cpu_features.h"
#include "vcdiff/adler32.h"

namespace tvl {

#if TVL_X86
uint32_t Adler32Ssse3(uint32_t adler, const uint8_t* data, size_t size);
#endif
#if TVL_AVX2
uint32_t Adler32Avx2(uint32_t adler, const uint8_t* data, size_t size);
#endif

}  // namespace tvl
