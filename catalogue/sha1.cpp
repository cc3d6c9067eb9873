#include "catalogue/sha1.h"

#include <cstring>

#include "catalogue/sha1_blocks.h"

namespace tvl {
namespace {

uint32_t LoadBigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

Sha1BlocksFn SelectBlocks() {
  if (Sha1BlocksFn fast = Sha1BlocksShaExtensions()) return fast;
  if (Sha1BlocksFn simd = Sha1BlocksWasmSimd()) return simd;
  return Sha1BlocksPortable;
}

}  // namespace

// The rounds are written out in full: every schedule index is a constant, so the 16-word ring
// stays in registers, and the five working variables trade names instead of values.
#define TVL_SHA1_WORD(t)   \
  ((t) < 16 ? w[(t)&15]    \
            : (w[(t)&15] = \
                   Sha1Rotl(w[((t)-3) & 15] ^ w[((t)-8) & 15] ^ w[((t)-14) & 15] ^ w[(t)&15], 1)))
#define TVL_SHA1_ROUND(F, k, t, a, b, c, d, e)               \
  e += Sha1Rotl(a, 5) + F(b, c, d) + (k) + TVL_SHA1_WORD(t); \
  b = Sha1Rotl(b, 30)
#define TVL_SHA1_FIVE(F, k, t)                  \
  TVL_SHA1_ROUND(F, k, (t), a, b, c, d, e);     \
  TVL_SHA1_ROUND(F, k, (t) + 1, e, a, b, c, d); \
  TVL_SHA1_ROUND(F, k, (t) + 2, d, e, a, b, c); \
  TVL_SHA1_ROUND(F, k, (t) + 3, c, d, e, a, b); \
  TVL_SHA1_ROUND(F, k, (t) + 4, b, c, d, e, a)
#define TVL_SHA1_TWENTY(F, k, t) \
  TVL_SHA1_FIVE(F, k, (t));      \
  TVL_SHA1_FIVE(F, k, (t) + 5);  \
  TVL_SHA1_FIVE(F, k, (t) + 10); \
  TVL_SHA1_FIVE(F, k, (t) + 15)

void Sha1BlocksPortable(uint32_t state[5], const uint8_t* blocks, size_t count) {
  for (; count > 0; --count, blocks += 64) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian32(blocks + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    TVL_SHA1_TWENTY(Sha1Choose, 0x5a827999, 0);
    TVL_SHA1_TWENTY(Sha1Parity, 0x6ed9eba1, 20);
    TVL_SHA1_TWENTY(Sha1Majority, 0x8f1bbcdc, 40);
    TVL_SHA1_TWENTY(Sha1Parity, 0xca62c1d6, 60);
    state[0] += a, state[1] += b, state[2] += c, state[3] += d, state[4] += e;
  }
}

#undef TVL_SHA1_TWENTY
#undef TVL_SHA1_FIVE
#undef TVL_SHA1_ROUND
#undef TVL_SHA1_WORD

void Sha1Init(Sha1Context* context) {
  // Chosen once; the choice never changes, so concurrent first calls agree.
  static const Sha1BlocksFn blocks = SelectBlocks();
  Sha1InitWith(context, blocks);
}

void Sha1InitWith(Sha1Context* context, Sha1BlocksFn blocks) {
  static constexpr uint32_t kInitial[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476,
                                           0xc3d2e1f0};
  std::memcpy(context->state, kInitial, sizeof kInitial);
  context->count[0] = context->count[1] = 0;
  context->blocks = blocks;
}

void Sha1Update(Sha1Context* context, const void* data, size_t count) {
  if (count == 0) return;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  size_t buffered = (context->count[0] >> 3) & 63;

  uint64_t bits = (uint64_t{context->count[1]} << 32 | context->count[0]) + uint64_t{count} * 8;
  context->count[0] = static_cast<uint32_t>(bits);
  context->count[1] = static_cast<uint32_t>(bits >> 32);

  if (buffered > 0) {
    size_t take = 64 - buffered;
    if (count < take) {
      std::memcpy(context->buffer + buffered, bytes, count);
      return;
    }
    std::memcpy(context->buffer + buffered, bytes, take);
    context->blocks(context->state, context->buffer, 1);
    bytes += take, count -= take;
  }
  if (count >= 64) {
    context->blocks(context->state, bytes, count / 64);
    bytes += count & ~size_t{63};
    count &= 63;
  }
  if (count > 0) std::memcpy(context->buffer, bytes, count);
}

void Sha1Final(Sha1Context* context, uint8_t digest[kSha1DigestSize]) {
  uint8_t length[8];
  for (int i = 0; i < 4; ++i) {
    length[i] = static_cast<uint8_t>(context->count[1] >> (24 - 8 * i));
    length[4 + i] = static_cast<uint8_t>(context->count[0] >> (24 - 8 * i));
  }
  // 0x80, then zeros up to 56 bytes into a block, then the bit length.
  static constexpr uint8_t kPadding[64] = {0x80};
  size_t buffered = (context->count[0] >> 3) & 63;
  Sha1Update(context, kPadding, buffered < 56 ? 56 - buffered : 120 - buffered);
  Sha1Update(context, length, sizeof length);
  for (int i = 0; i < 20; ++i) {
    digest[i] = static_cast<uint8_t>(context->state[i / 4] >> (24 - 8 * (i % 4)));
  }
  // Volatile so the wipe survives the optimiser.
  volatile uint8_t* wipe = reinterpret_cast<volatile uint8_t*>(context);
  for (size_t i = 0; i < sizeof *context; ++i) wipe[i] = 0;
}

}  // namespace tvl
