// The SHA-1 compression function and its implementations. Sha1Init picks one at run time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "catalogue/sha1.h"

namespace tvl {

// The scalar parts of a round, shared by the paths that do the rounds in plain code. The three
// round functions of FIPS 180-4 are in forms with one operation fewer.
inline uint32_t Sha1Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t Sha1Choose(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t Sha1Parity(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t Sha1Majority(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (z & (x | y)); }

void Sha1BlocksPortable(uint32_t state[5], const uint8_t* blocks, size_t count);

// The x86 SHA extensions path, or null when this build or this CPU lacks them.
Sha1BlocksFn Sha1BlocksShaExtensions();

// The WebAssembly SIMD path, or null in builds without it.
Sha1BlocksFn Sha1BlocksWasmSimd();

// Sha1Init with a chosen compression path, so tests and benchmarks can run each one.
void Sha1InitWith(Sha1Context* context, Sha1BlocksFn blocks);

}  // namespace tvl
