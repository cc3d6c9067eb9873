#include "vcdiff/decode_memory.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace tvl {
namespace {

// What an empty piece or a block past the source's end points at: the decoder takes a null
// block_data for "no block loaded".
constexpr uint8_t kNoBytes[1] = {};

size_t PieceSize(const std::vector<size_t>& pieces, size_t index, size_t left) {
  if (pieces.empty()) return left;
  if (index + 1 < pieces.size()) return std::min(pieces[index], left);
  // A repeating 0 would never reach the end of the patch.
  return pieces.back() == 0 ? left : std::min(pieces.back(), left);
}

bool IsProgress(int status) {
  return status == kStatusGotHeader || status == kStatusWindowStart || status == kStatusWindowDone;
}

// The `size` bytes at `from` as the decoder is to read them: in place, or as an exact-size copy
// held in `copy` (which releases the previous one).
const uint8_t* Serve(const uint8_t* from, uint64_t size, bool isolated,
                     std::unique_ptr<uint8_t[]>& copy) {
  if (size == 0) from = kNoBytes;
  if (!isolated) return from;
  copy.reset(new uint8_t[size + (size == 0)]);
  std::memcpy(copy.get(), from, size);
  return copy.get();
}

}  // namespace

DecodeResult DecodeInMemory(std::span<const uint8_t> patch, std::span<const uint8_t> source,
                            const MemoryDecodeOptions& options) {
  DecodeResult result;
  DecodeStream stream;
  DecodeSource block_source;
  std::unique_ptr<uint8_t[]> block_copy;
  auto load = [&](uint64_t number) {
    const uint64_t start = number * block_source.block_size;
    const uint64_t count = start >= source.size()
                               ? 0
                               : std::min<uint64_t>(block_source.block_size, source.size() - start);
    const uint8_t* from = count > 0 ? source.data() + start : nullptr;
    block_source.block_data = Serve(from, count, options.isolated_buffers, block_copy);
    block_source.block_bytes = count;
    block_source.block_number = number;
  };

  int failure = ConfigureDecodeStream(&stream, options.config);
  bool broken = false;
  if (failure == 0 && options.attach_source) {
    block_source.block_size = options.block_size;
    SetDecodeSource(&stream, &block_source);
    if (options.preload_first_block) load(0);
  }

  size_t offset = 0;
  size_t piece_index = 0;
  std::unique_ptr<uint8_t[]> piece_copy;
  uint64_t delivered = 0;
  while (failure == 0) {
    const size_t size = PieceSize(options.pieces, piece_index++, patch.size() - offset);
    stream.input_next = Serve(patch.data() + offset, size, options.isolated_buffers, piece_copy);
    stream.input_size = size;
    offset += size;
    for (;;) {
      const int status = DecodeInput(&stream);
      if (options.record_events) result.statuses.push_back(status);
      if (status == kStatusNeedInput) break;
      if (status == kStatusNeedBlock) {
        if (options.record_events) result.blocks.push_back(block_source.requested_block);
        if (!options.attach_source) {
          broken = true;
          failure = kStatusFailed;
          break;
        }
        load(block_source.requested_block);
      } else if (status == kStatusOutput) {
        if (stream.output_size != stream.target_length) broken = true;
        result.window_sizes.push_back(stream.output_size);
        delivered += stream.output_size;
        if (options.sink != nullptr) {
          options.sink(options.sink_opaque, stream.output_data, stream.output_size);
        } else {
          result.output.insert(result.output.end(), stream.output_data,
                               stream.output_data + stream.output_size);
        }
        stream.output_size = 0;
      } else if (!IsProgress(status)) {
        failure = status;
        break;
      }
    }
    if (offset == patch.size()) break;
  }
  if (failure == 0) {
    result.close_status = CloseDecodeStream(&stream);
    failure = result.close_status;
  }
  if (stream.output_total != delivered) broken = true;

  result.status = broken ? kStatusFailed : failure;
  result.message = broken                      ? kDecoderProtocolBroken
                   : stream.message != nullptr ? stream.message
                                               : "";
  result.input_total = stream.input_total;
  result.final_state = stream.decode_state;
  FreeDecodeStream(&stream);
  return result;
}

}  // namespace tvl
