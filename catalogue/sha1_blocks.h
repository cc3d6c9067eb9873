// The SHA-1 compression function and its implementations. Sha1Update picks one at run time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvl {

// Runs the compression function over `count` whole 64-byte blocks.
using Sha1BlocksFn = void (*)(uint32_t state[5], const uint8_t* blocks, size_t count);

void Sha1BlocksPortable(uint32_t state[5], const uint8_t* blocks, size_t count);

// The x86 SHA extensions path, or null when this build or this CPU lacks them.
Sha1BlocksFn Sha1BlocksShaExtensions();

// The function Sha1Update uses; tests may swap it to check every path against the same vectors.
Sha1BlocksFn Sha1ActiveBlocks();
void Sha1SetActiveBlocks(Sha1BlocksFn blocks);

}  // namespace tvl
