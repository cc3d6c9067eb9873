#include "vcdiff/x86/cpu_features.h"

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
#endif

}  // namespace tvl
