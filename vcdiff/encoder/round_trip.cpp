#include "vcdiff/encoder/round_trip.h"

#include <algorithm>

#include "vcdiff/decode_memory.h"

namespace tvl {
namespace {

// The target as far as the decoded windows matched it, window by window: a large pair is
// checked without a third copy of it.
struct Comparison {
  std::span<const uint8_t> target;
  uint64_t matched = 0;
  bool differs = false;
};

void CompareWindow(void* opaque, const uint8_t* data, uint64_t size) {
  Comparison& comparison = *static_cast<Comparison*>(opaque);
  if (comparison.differs) return;
  const std::span<const uint8_t> rest = comparison.target.subspan(comparison.matched);
  if (size > rest.size() || !std::equal(data, data + size, rest.begin())) {
    comparison.differs = true;
    return;
  }
  comparison.matched += size;
}

}  // namespace

RoundTrip VerifyDelta(std::span<const uint8_t> source, std::span<const uint8_t> target,
                      std::span<const uint8_t> patch) {
  Comparison comparison{target};
  MemoryDecodeOptions options;
  options.pieces = {4096};
  options.sink = CompareWindow;
  options.sink_opaque = &comparison;
  const DecodeResult decoded = DecodeInMemory(patch, source, options);
  if (decoded.status != 0) return {false, "does not decode: " + decoded.message};
  if (comparison.differs || comparison.matched != target.size()) {
    return {false, "does not rebuild the target"};
  }
  return {true, ""};
}

}  // namespace tvl
