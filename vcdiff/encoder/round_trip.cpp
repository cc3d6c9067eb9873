#include "vcdiff/encoder/round_trip.h"

#include <algorithm>

#include "vcdiff/decode_memory.h"

namespace tvl {

RoundTrip VerifyDelta(std::span<const uint8_t> source, std::span<const uint8_t> target,
                      std::span<const uint8_t> patch) {
  MemoryDecodeOptions options;
  options.pieces = {4096};
  const DecodeResult decoded = DecodeInMemory(patch, source, options);
  if (decoded.status != 0) return {false, "does not decode: " + decoded.message};
  if (!std::equal(decoded.output.begin(), decoded.output.end(), target.begin(), target.end())) {
    return {false, "does not rebuild the target"};
  }
  return {true, ""};
}

}  // namespace tvl
