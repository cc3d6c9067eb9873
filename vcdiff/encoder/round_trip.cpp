#include "vcdiff/encoder/round_trip.h"

#include <algorithm>
#include <vector>

#include "vcdiff/decode_memory.h"

namespace tvl {
namespace {

// The target read as far as the decoded windows matched it, window by window: a large pair is
// checked without a further copy of its target.
struct Comparison {
  TargetReader target;
  std::vector<uint8_t> expected;  // one window's worth, read from the target
  bool differs = false;
  bool unreadable = false;
};

void CompareWindow(void* opaque, const uint8_t* data, uint64_t size) {
  Comparison& comparison = *static_cast<Comparison*>(opaque);
  if (comparison.differs || comparison.unreadable) return;
  comparison.expected.resize(size);
  const int64_t count = ReadFull(comparison.target, comparison.expected.data(), size);
  if (count < 0) {
    comparison.unreadable = true;
  } else if (static_cast<uint64_t>(count) != size ||
             !std::equal(data, data + size, comparison.expected.begin())) {
    comparison.differs = true;
  }
}

RoundTrip Unreadable() { return {false, "cannot read the target", true}; }

}  // namespace

RoundTrip VerifyDelta(std::span<const uint8_t> source, std::span<const uint8_t> target,
                      std::span<const uint8_t> patch) {
  SpanTargetReader reader(target);
  return VerifyDelta(source, reader.reader(), patch);
}

RoundTrip VerifyDelta(std::span<const uint8_t> source, TargetReader target,
                      std::span<const uint8_t> patch) {
  Comparison comparison;
  comparison.target = target;
  MemoryDecodeOptions options;
  options.pieces = {4096};
  options.sink = CompareWindow;
  options.sink_opaque = &comparison;
  const DecodeResult decoded = DecodeInMemory(patch, source, options);
  if (comparison.unreadable) return Unreadable();
  if (decoded.status != 0) return {false, "does not decode: " + decoded.message};
  if (comparison.differs) return {false, "does not rebuild the target"};
  // Nothing of the target may be left over.
  uint8_t extra = 0;
  const int64_t more = ReadFull(target, &extra, 1);
  if (more < 0) return Unreadable();
  if (more > 0) return {false, "does not rebuild the target"};
  return {true, ""};
}

}  // namespace tvl
