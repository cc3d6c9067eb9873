// libFuzzer target: one arbitrary patch against a small source, fed in arbitrary pieces.
//
// Input layout (missing bytes count as 0):
//   byte 0      block size: 1 << (byte % 12)
//   byte 1      source length (0 to 255 bytes, taken from the input after the 4 option bytes)
//   byte 2      piece size: 0 means the whole patch at once, else 1 to 255 bytes, varied by byte 3
//   byte 3      bit 0: load block 0 before decoding; bit 1: attach no source;
//               bits 2-7: seed for varying the piece sizes
//   then        the source bytes, then the patch.
//
// Besides the sanitizers' checks, the patch is decoded twice, whole and in the chosen pieces:
// both runs must report the same events and windows and end alike. It is decoded once more with
// the whole source in one block, where windows run their instructions another way: the windows
// and the end must be the same again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/capped_alloc.h"
#include "vcdiff/adler32.h"
#include "vcdiff/decode_memory.h"
#include "vcdiff/decoder.h"

namespace {

struct Options {
  uint64_t block_size = 1;
  size_t piece = 0;  // 0: whole
  uint32_t seed = 0;
  bool preload = false;
  bool attach = true;
};

// The piece sizes that cover the patch: `piece` each, or varied up to it when there is a seed.
std::vector<size_t> Pieces(const Options& options, size_t patch_size) {
  std::vector<size_t> pieces;
  if (options.piece == 0) return pieces;
  uint32_t state = options.seed * 2654435761u + 1;
  size_t covered = 0;
  do {
    state = state * 1103515245u + 12345u;
    pieces.push_back(options.seed == 0 ? options.piece : 1 + (state >> 16) % options.piece);
    covered += pieces.back();
  } while (covered < patch_size);
  return pieces;
}

// Windows can be 64 MiB each; their checksums are enough to compare two runs.
void TakeWindow(void* opaque, const uint8_t* data, uint64_t size) {
  static_cast<std::vector<uint32_t>*>(opaque)->push_back(tvl::Adler32(1, data, size));
}

struct Outcome {
  tvl::DecodeResult result;
  std::vector<int> events;        // statuses other than kStatusNeedInput
  std::vector<uint32_t> windows;  // Adler-32 of each window taken
};

// The same windows and the same end, whatever blocks were asked for on the way.
bool SameWindowsAndEnd(const Outcome& a, const Outcome& b) {
  const tvl::DecodeResult& x = a.result;
  const tvl::DecodeResult& y = b.result;
  return a.windows == b.windows && x.window_sizes == y.window_sizes && x.status == y.status &&
         x.close_status == y.close_status && (x.status == 0 || x.message == y.message);
}

bool operator==(const Outcome& a, const Outcome& b) {
  return SameWindowsAndEnd(a, b) && a.events == b.events && a.result.blocks == b.result.blocks;
}

Outcome Decode(const Options& options, const std::vector<uint8_t>& source, const uint8_t* patch,
               size_t patch_size) {
  const tvl::DecodeConfig config = tvl::fuzz::CappedConfig();
  tvl::MemoryDecodeOptions memory;
  memory.block_size = options.block_size;
  memory.pieces = Pieces(options, patch_size);
  memory.config = &config;
  memory.attach_source = options.attach;
  memory.preload_first_block = options.preload;
  // Exactly the valid bytes of each block and piece, each released once the decoder is done with
  // it, so that a read past a block or a section read after its piece is gone is caught.
  memory.isolated_buffers = true;
  memory.record_events = true;
  Outcome outcome;
  memory.sink = TakeWindow;
  memory.sink_opaque = &outcome.windows;
  outcome.result = tvl::DecodeInMemory({patch, patch_size}, source, memory);

  // The driver checks the decoder's side of the protocol: blocks asked for only from an attached
  // source, each window as long as its header said, the output counted right.
  if (outcome.result.message == tvl::kDecoderProtocolBroken) std::abort();
  if (outcome.result.status != 0 && outcome.result.message.empty()) std::abort();  // says why
  for (int status : outcome.result.statuses) {
    if (status != tvl::kStatusNeedInput) outcome.events.push_back(status);
  }
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t option_bytes[4] = {};
  std::memcpy(option_bytes, data, std::min<size_t>(size, 4));
  const size_t header = std::min<size_t>(size, 4);
  Options options;
  options.block_size = uint64_t{1} << (option_bytes[0] % 12);
  options.piece = option_bytes[2];
  options.seed = option_bytes[3] >> 2;
  options.preload = (option_bytes[3] & 1) != 0;
  options.attach = (option_bytes[3] & 2) == 0;
  const size_t source_size = std::min<size_t>(option_bytes[1], size - header);
  const std::vector<uint8_t> source(data + header, data + header + source_size);
  const uint8_t* patch = data + header + source_size;
  const size_t patch_size = size - header - source_size;

  const Outcome pieces = Decode(options, source, patch, patch_size);
  if (options.piece != 0) {
    Options whole = options;
    whole.piece = 0;
    if (!(Decode(whole, source, patch, patch_size) == pieces)) std::abort();
  }
  Options one_block = options;
  one_block.block_size = 256;  // more than the source can hold
  one_block.preload = true;
  const Outcome in_one_block = Decode(one_block, source, patch, patch_size);
  // Where block boundaries fall decides one thing: whether a COPY of no bytes from past the
  // source's end is "source file too short" (its offset lies past a short block's bytes) or
  // nothing at all (it starts a block past the end). Runs that end that way aren't compared.
  const char* kTooShort = "source file too short";
  if (in_one_block.result.message != kTooShort && pieces.result.message != kTooShort &&
      !SameWindowsAndEnd(in_one_block, pieces)) {
    std::abort();
  }
  return 0;
}
