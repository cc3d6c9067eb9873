// Decoding a patch in memory with our own decoder: how the encoder's output is checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tvl {

struct DecodeResult {
  int status = 0;            // 0, or the decoder's failure status
  const char* message = "";  // the decoder's text on failure
  uint64_t windows = 0;
};

// Rebuilds the target from `source` and `patch` into `out`, feeding the patch in pieces of
// `piece_size` bytes and serving the source in blocks of `block_size` (a power of two), the way
// the patch applier drives the decoder from files.
DecodeResult DecodeDelta(std::span<const uint8_t> source, std::span<const uint8_t> patch,
                         std::vector<uint8_t>& out, size_t piece_size = 4096,
                         size_t block_size = 4096);

// True when `patch` decodes against `source` to exactly `target`.
bool VerifyDelta(std::span<const uint8_t> source, std::span<const uint8_t> target,
                 std::span<const uint8_t> patch);

}  // namespace tvl
