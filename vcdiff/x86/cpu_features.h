// Run-time detection of the x86 instruction sets our fast paths use.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define TVL_X86 1
#else
#define TVL_X86 0
#endif

// GCC for 64-bit Windows cannot align the stack to 32 bytes, so spilled AVX registers could fault
// there; such builds keep to SSSE3.
#if TVL_X86 && !(defined(_WIN32) && !defined(__clang__))
#define TVL_AVX2 1
#else
#define TVL_AVX2 0
#endif

namespace tvl {

#if TVL_X86
bool CpuHasSsse3();
// AVX2 with the operating system saving the YMM registers.
bool CpuHasAvx2();
#endif

}  // namespace tvl
