// Decoding a patch held in memory against a source held in memory: the decoder's protocol played
// once, for the encoder's round trip, the tests, the fuzz target and the benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "vcdiff/decoder.h"

namespace tvl {

// The text of a failure that is the decoder's fault rather than the patch's: it asked for a block
// with no source attached, handed over a window of another length than its header declared, or
// miscounted its output. The fuzz target treats it as a finding.
inline constexpr char kDecoderProtocolBroken[] = "decoder broke its protocol";

// Takes one finished window; the bytes are the decoder's and last until the call returns.
using WindowSink = void (*)(void* opaque, const uint8_t* data, uint64_t size);

struct MemoryDecodeOptions {
  uint64_t block_size = 4096;  // source block size, raised to a power of two
  // Patch piece sizes, used in turn; the last one repeats, and a repeating 0 means "the rest".
  // Empty: the whole patch at once.
  std::vector<size_t> pieces;
  const DecodeConfig* config = nullptr;  // null: defaults (heap allocation)
  bool attach_source = true;
  bool preload_first_block = true;  // as the applier does
  // Give each piece and each block its own exact-size copy, released as soon as the protocol
  // allows, so that sanitizers catch a read past a block or after a piece's lifetime. Otherwise
  // both are served in place.
  bool isolated_buffers = false;
  bool record_events = false;  // fill statuses and blocks
  WindowSink sink = nullptr;   // null: windows are appended to the result's output
  void* sink_opaque = nullptr;
};

struct DecodeResult {
  int status = 0;        // 0: decoded to the patch's end and closed cleanly; else the failure
  std::string message;   // the stream's last message: its failure, or its last request
  int close_status = 0;  // CloseDecodeStream's, when decoding took the whole patch
  std::vector<uint8_t> output;  // every window in order, unless a sink took them
  std::vector<uint64_t> window_sizes;
  std::vector<int> statuses;     // every status DecodeInput returned (record_events)
  std::vector<uint64_t> blocks;  // blocks requested through kStatusNeedBlock (record_events)
  uint64_t input_total = 0;      // patch bytes the decoder consumed
  int final_state = 0;           // the stream's decode_state at the end
};

DecodeResult DecodeInMemory(std::span<const uint8_t> patch, std::span<const uint8_t> source,
                            const MemoryDecodeOptions& options = {});

}  // namespace tvl
