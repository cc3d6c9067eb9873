// Plays the patch applier's part for tests: feeds a patch in chosen pieces, answers block
// requests from an in-memory source, collects the output and the status sequence.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vcdiff/decoder.h"

namespace tvl::test {

struct DriverOptions {
  uint64_t block_size = 4096;
  bool attach_source = true;
  bool preload_first_block = true;  // as the applier does
  const DecodeConfig* config = nullptr;
  // Piece sizes, used in turn (the last one repeats); empty means the whole patch at once.
  std::vector<size_t> pieces;
};

struct DecodeResult {
  int status = 0;                // the failure, or kStatusNeedInput after the last piece
  std::string message;           // stream.message at the end
  int close_status = 0;          // CloseDecodeStream after a run that did not fail
  std::vector<uint8_t> output;   // every window taken, in order
  std::vector<int> statuses;     // every status DecodeInput returned
  std::vector<uint64_t> blocks;  // blocks requested through kStatusNeedBlock
  std::vector<uint64_t> window_sizes;
  uint64_t input_total = 0;
  int final_state = 0;
};

DecodeResult Decode(const std::vector<uint8_t>& patch, const std::vector<uint8_t>& source,
                    const DriverOptions& options = {});

// The statuses without kStatusNeedInput.
std::vector<int> Events(const DecodeResult& result);

}  // namespace tvl::test

namespace tvl::test {

// A three-window stream over a 100-byte source (to be read in 16-byte blocks) that uses every
// instruction kind, paired opcodes, all nine address modes, overlapping target copies, source
// copies across blocks and a source segment that runs past the end of the source.
struct Sample {
  std::vector<uint8_t> patch;
  std::vector<uint8_t> source;
  std::vector<uint8_t> expected;
};
Sample RichSample();

}  // namespace tvl::test
