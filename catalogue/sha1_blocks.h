// The SHA-1 compression function and its implementations. Sha1Init picks one at run time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "catalogue/sha1.h"

namespace tvl {

void Sha1BlocksPortable(uint32_t state[5], const uint8_t* blocks, size_t count);

// The x86 SHA extensions path, or null when this build or this CPU lacks them.
Sha1BlocksFn Sha1BlocksShaExtensions();

// The WebAssembly SIMD path, or null in builds without it.
Sha1BlocksFn Sha1BlocksWasmSimd();

// Sha1Init with a chosen compression path, so tests and benchmarks can run each one.
void Sha1InitWith(Sha1Context* context, Sha1BlocksFn blocks);

}  // namespace tvl
