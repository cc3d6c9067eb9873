#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "patching/apply_files.h"
#include "patching/source_blocks.h"
#include "patching/window_progress.h"
#include "platform/large_buffer.h"
#include "vcdiff/decoder.h"

namespace tvl {
namespace {

// The configuration the patches have always been applied with. No decoding step reads either
// value, so decoding runs on the defaults and asks for source blocks through kStatusNeedBlock.
constexpr uint64_t kConfigWindowSize = 4096;
constexpr uint32_t kConfigFlags = 0x400;

// Shortest VCDIFF file: the 4 magic bytes and the header indicator.
constexpr uint64_t kFileHeaderSize = 5;

// Frees the decoder's buffers on every way out.
struct StreamHolder {
  DecodeStream stream{};
  ~StreamHolder() { FreeDecodeStream(&stream); }
};

// The decoder's buffers, its 8 MiB target window above all, which every window fills anew.
void* AllocateDecoderBuffer(void* /*opaque*/, size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  return AllocateLargeBuffer(count * size);
}

void FreeDecoderBuffer(void* /*opaque*/, void* buffer) { FreeLargeBuffer(buffer); }

std::unique_ptr<uint8_t[]> Allocate(size_t size) {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]);
}

int FailSource(ApplyError* error, const SourceBlocks& blocks) {
  if (blocks.failure == SourceFailure::kChanged) {
    return FailApply(error, ApplyFailure::kReadInput,
                     "The input changed while it was being converted.");
  }
  return FailApply(error, ApplyFailure::kReadInput, "Couldn't read input", blocks.error);
}

}  // namespace

int DecodeToFile(File& input, std::span<const uint8_t> patch, File& output, size_t piece_size,
                 ApplyError* error) {
  if (piece_size == 0) piece_size = kPatchPieceSize;

  StreamHolder holder;
  DecodeStream& stream = holder.stream;
  DecodeConfig config{};
  config.window_size = kConfigWindowSize;
  config.flags = kConfigFlags;
  config.alloc = AllocateDecoderBuffer;
  config.release = FreeDecoderBuffer;
  if (ConfigureDecodeStream(&stream, &config) != 0) {
    return FailApply(error, ApplyFailure::kDecode, stream.message);
  }

  SourceBlocks blocks;
  // A piece never holds more than the whole patch, whatever size was asked for.
  std::unique_ptr<uint8_t[]> piece_buffer =
      Allocate(std::max<size_t>(1, std::min(piece_size, patch.size())));
  if (!InitSourceBlocks(&blocks, &input) || !piece_buffer) {
    return FailApply(error, ApplyFailure::kDecode, "out of memory");
  }

  // Block 0 is in place before decoding starts; the decoder asks for any other.
  DecodeSource source{};
  source.block_size = kSourceBlockSize;
  if (!LoadSourceBlock(&blocks, 0, &source)) return FailSource(error, blocks);
  SetDecodeSource(&stream, &source);

  // The patch goes in pieces copied into our own buffer, which is refilled only once the decoder
  // has said kStatusNeedInput: until then it may still read sections where they lie. A piece
  // shorter than piece_size is the last; a patch of a whole number of pieces ends with an empty
  // one.
  size_t offset = 0;
  for (;;) {
    const size_t length = std::min(piece_size, patch.size() - offset);
    if (length != 0) std::memcpy(piece_buffer.get(), patch.data() + offset, length);
    offset += length;
    stream.input_next = piece_buffer.get();
    stream.input_size = length;

    for (int status = DecodeInput(&stream); status != kStatusNeedInput;
         status = DecodeInput(&stream)) {
      // Bytes of a view that couldn't be read came as zeros: whatever the decoder made of them,
      // output or a failed checksum, the source's failure is the news.
      if (!SourceBlocksIntact(&blocks)) return FailSource(error, blocks);
      switch (status) {
        case kStatusGotHeader:
        case kStatusWindowStart:
        case kStatusWindowDone:
          break;
        case kStatusNeedBlock:
          if (!LoadSourceBlock(&blocks, source.requested_block, &source)) {
            return FailSource(error, blocks);
          }
          break;
        case kStatusOutput: {
          // One write per window; a short one (a full disk) ends the run.
          FileError write_error = 0;
          const size_t size = static_cast<size_t>(stream.output_size);
          if (output.Write(stream.output_data, size, &write_error) != size) {
            return FailApply(error, ApplyFailure::kWrite, "Couldn't write output", write_error);
          }
          stream.output_size = 0;
          if (!WindowWritten(size)) return FailApply(error, ApplyFailure::kDecode, "stopped");
          break;
        }
        default:
          return FailApply(error, ApplyFailure::kDecode,
                           stream.message ? stream.message : "patch decoding failed");
      }
    }
    if (length < piece_size) break;
  }
  if (!SourceBlocksIntact(&blocks)) return FailSource(error, blocks);

  // A patch that ended inside a header or a window is incomplete. So is one that ended before its
  // file header was whole (an empty file, say), which the decoder can't tell from a patch not yet
  // begun: without this, an empty patch would "succeed" with an empty output.
  if (CloseDecodeStream(&stream) != 0) {
    return FailApply(error, ApplyFailure::kDecode, stream.message);
  }
  if (stream.input_total < kFileHeaderSize) {
    return FailApply(error, ApplyFailure::kDecode, "eof in decode");
  }

  // Closing is where a delayed write failure shows; the output isn't whole then.
  FileError close_error = 0;
  if (!output.Close(&close_error)) {
    return FailApply(error, ApplyFailure::kWrite, "Couldn't write output", close_error);
  }
  if (error) *error = {};
  return 1;
}

}  // namespace tvl
