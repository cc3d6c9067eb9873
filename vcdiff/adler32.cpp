#include "vcdiff/adler32.h"

#include "platform/cpu_features.h"
#include "vcdiff/x86/adler32_x86.h"

namespace tvl {
namespace {

using Adler32Function = uint32_t (*)(uint32_t adler, const uint8_t* data, size_t size);

Adler32Function SelectAdler32() {
#if TVL_AVX2
  if (CpuHasAvx2()) return Adler32Avx2;
#endif
#if TVL_X86
  if (CpuHasSsse3()) return Adler32Ssse3;
#endif
  return Adler32Portable;
}

}  // namespace

uint32_t Adler32Portable(uint32_t adler, const uint8_t* data, size_t size) {
  uint32_t s1 = adler & 0xFFFF;
  uint32_t s2 = adler >> 16;
  while (size > 0) {
    size_t chunk = size < kAdler32MaxDeferred ? size : kAdler32MaxDeferred;
    size -= chunk;
    for (; chunk >= 8; chunk -= 8, data += 8) {
      s1 += data[0], s2 += s1;
      s1 += data[1], s2 += s1;
      s1 += data[2], s2 += s1;
      s1 += data[3], s2 += s1;
      s1 += data[4], s2 += s1;
      s1 += data[5], s2 += s1;
      s1 += data[6], s2 += s1;
      s1 += data[7], s2 += s1;
    }
    for (; chunk > 0; --chunk) s1 += *data++, s2 += s1;
    s1 %= kAdler32Base;
    s2 %= kAdler32Base;
  }
  return (s2 << 16) | s1;
}

uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size) {
  // Chosen once; the choice never changes, so concurrent first calls agree.
  static const Adler32Function implementation = SelectAdler32();
  return implementation(adler, data, size);
}

}  // namespace tvl
