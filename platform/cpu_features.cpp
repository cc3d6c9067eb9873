#include "platform/cpu_features.h"

#if TVL_X86
#include <cpuid.h>
#endif

namespace tvl {

#if TVL_X86
// The compiler's CPU model checks CPUID and, for AVX, that the OS enables the YMM state.
bool CpuHasSsse3() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3");
}

bool CpuHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

bool CpuHasShaExtensions() {
  // Not every compiler's CPU model knows the SHA extensions, so ask CPUID directly.
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool sse41 = ecx & bit_SSE4_1, ssse3 = ecx & bit_SSSE3;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  return sse41 && ssse3 && (ebx & bit_SHA);
}
#endif

}  // namespace tvl
