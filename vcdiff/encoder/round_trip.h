// The encoder's check of its own output: decoding the patch again with our decoder.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "vcdiff/encoder/encoder.h"

namespace tvl {

struct RoundTrip {
  bool rebuilt = false;  // the patch decodes against the source to exactly the target
  std::string problem;   // otherwise why, as "does not decode: ..." or "does not rebuild ..."
  bool target_unreadable = false;  // the target's reader failed, so nothing was shown
};

// Decodes `patch` against `source` the way the patch applier feeds the decoder from files (4 KiB
// pieces, 4 KiB source blocks) and compares the result with `target`.
RoundTrip VerifyDelta(std::span<const uint8_t> source, std::span<const uint8_t> target,
                      std::span<const uint8_t> patch);

// The same, reading the target from `target` as the decoded windows come: a failed read is
// "cannot read the target", with `target_unreadable` set.
RoundTrip VerifyDelta(std::span<const uint8_t> source, TargetReader target,
                      std::span<const uint8_t> patch);

}  // namespace tvl
