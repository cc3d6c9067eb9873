// The decoder tests' use of the in-memory driver, and the sample stream many of them decode.
#pragma once

#include <cstdint>
#include <vector>

#include "vcdiff/decode_memory.h"

namespace tvl::testing {

// Decodes with every status and block request recorded, and every piece and block in its own
// allocation so that the sanitizers see a read past one.
DecodeResult Decode(const std::vector<uint8_t>& patch, const std::vector<uint8_t>& source,
                    MemoryDecodeOptions options = {});

// The statuses without kStatusNeedInput.
std::vector<int> Events(const DecodeResult& result);

// A three-window stream over a 100-byte source (to be read in 16-byte blocks) that uses every
// instruction kind, paired opcodes, all nine address modes, overlapping target copies, source
// copies across blocks and a source segment that runs past the end of the source.
struct Sample {
  std::vector<uint8_t> patch;
  std::vector<uint8_t> source;
  std::vector<uint8_t> expected;
};
Sample RichSample();

}  // namespace tvl::testing
