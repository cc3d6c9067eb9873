// SHA-1 (FIPS 180-4), fed incrementally.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvl {

inline constexpr size_t kSha1DigestSize = 20;

// Runs the compression function over `count` whole 64-byte blocks.
using Sha1BlocksFn = void (*)(uint32_t state[5], const uint8_t* blocks, size_t count);

struct Sha1Context {
  uint32_t state[5];
  uint32_t count[2];    // bits fed so far: low word, then high word
  uint8_t buffer[64];   // a partial block
  Sha1BlocksFn blocks;  // the compression path, the fastest this CPU has
};

void Sha1Init(Sha1Context* context);
// Any count, including zero; partial blocks wait in the context.
void Sha1Update(Sha1Context* context, const void* data, size_t count);
// Pads, writes the 20-byte digest and wipes the context.
void Sha1Final(Sha1Context* context, uint8_t digest[kSha1DigestSize]);

}  // namespace tvl
