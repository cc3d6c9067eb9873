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
// both runs must report the same events and windows and end alike.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "vcdiff/adler32.h"
#include "vcdiff/decoder.h"

namespace {

// Nothing a stream declares may make the decoder ask for more than its largest window: section
// copies grow with the bytes delivered and the application header is bounded far below that. A
// larger request is a finding.
constexpr size_t kMaxAllocation = tvl::kMaxTargetWindow;

void* CappedAlloc(void*, size_t count, size_t size) {
  if (size != 0 && count > kMaxAllocation / size) std::abort();
  return std::malloc(count * size);
}

void CappedRelease(void*, void* pointer) { std::free(pointer); }

struct Options {
  uint64_t block_size = 1;
  size_t piece = 0;  // 0: whole
  uint32_t seed = 0;
  bool preload = false;
  bool attach = true;
};

struct Outcome {
  std::vector<int> events;        // statuses other than kStatusNeedInput
  std::vector<uint64_t> blocks;   // blocks requested
  std::vector<uint32_t> windows;  // Adler-32 of each window taken
  uint64_t output_total = 0;
  const char* message = nullptr;  // at a failure, else null
  int close_status = 0;
};

bool operator==(const Outcome& a, const Outcome& b) {
  return a.events == b.events && a.blocks == b.blocks && a.windows == b.windows &&
         a.output_total == b.output_total && a.close_status == b.close_status &&
         (a.message == b.message || (a.message && b.message && !std::strcmp(a.message, b.message)));
}

Outcome Decode(const Options& options, const std::vector<uint8_t>& source, const uint8_t* patch,
               size_t patch_size) {
  Outcome outcome;
  tvl::DecodeConfig config;
  config.alloc = CappedAlloc;
  config.release = CappedRelease;
  tvl::DecodeStream stream;
  tvl::ConfigureDecodeStream(&stream, &config);
  tvl::DecodeSource block_source;
  block_source.block_size = options.block_size;
  // Exactly the valid bytes, so that a read past them is caught.
  std::unique_ptr<uint8_t[]> block;
  auto load = [&](uint64_t number) {
    const uint64_t start = number * block_source.block_size;
    const size_t count = start >= source.size()
                             ? 0
                             : std::min<uint64_t>(block_source.block_size, source.size() - start);
    block.reset(new uint8_t[count + (count == 0)]);
    if (count > 0) std::memcpy(block.get(), source.data() + start, count);
    block_source.block_data = block.get();
    block_source.block_bytes = count;
    block_source.block_number = number;
  };
  if (options.attach) {
    tvl::SetDecodeSource(&stream, &block_source);
    if (options.preload) load(0);
  }

  // Each piece lives in its own allocation, released once the decoder has asked for more, so
  // that a section read after its piece is gone shows up as a use after free.
  size_t offset = 0;
  uint32_t state = options.seed * 2654435761u + 1;
  bool failed = false;
  do {
    size_t piece = patch_size - offset;
    if (options.piece != 0) {
      state = state * 1103515245u + 12345u;
      const size_t varied = options.seed == 0 ? options.piece : 1 + (state >> 16) % options.piece;
      piece = std::min(piece, varied);
    }
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[piece + (piece == 0)]);
    if (piece > 0) std::memcpy(bytes.get(), patch + offset, piece);
    offset += piece;
    stream.input_next = bytes.get();
    stream.input_size = piece;
    for (;;) {
      const int status = tvl::DecodeInput(&stream);
      if (status == tvl::kStatusNeedInput) break;
      outcome.events.push_back(status);
      if (status == tvl::kStatusNeedBlock) {
        // A source that isn't attached can't be asked for.
        if (!options.attach) std::abort();
        outcome.blocks.push_back(block_source.requested_block);
        load(block_source.requested_block);
      } else if (status == tvl::kStatusOutput) {
        if (stream.output_size != stream.target_length) std::abort();
        outcome.windows.push_back(tvl::Adler32(1, stream.output_data, stream.output_size));
        outcome.output_total += stream.output_size;
        stream.output_size = 0;
      } else if (status != tvl::kStatusGotHeader && status != tvl::kStatusWindowStart &&
                 status != tvl::kStatusWindowDone) {
        if (stream.message == nullptr) std::abort();  // every failure says why
        outcome.message = stream.message;
        failed = true;
        break;
      }
    }
  } while (!failed && offset < patch_size);
  if (!failed) outcome.close_status = tvl::CloseDecodeStream(&stream);
  if (stream.output_total != outcome.output_total) std::abort();
  tvl::FreeDecodeStream(&stream);
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
  return 0;
}
