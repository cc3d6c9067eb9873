// Run-time detection of the x86 instruction sets our fast paths use (SHA-1 and Adler-32). Each
// caller picks its implementation once, into a function-local constant, from these answers.
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
// The SHA extensions, with the SSSE3 and SSE4.1 that their code also uses.
bool CpuHasShaExtensions();
#endif

}  // namespace tvl
