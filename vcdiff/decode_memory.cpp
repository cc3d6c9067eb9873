#include "vcdiff/decode_memory.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "vcdiff/decode_driver.h"

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
    return true;
  };

  int failure = ConfigureDecodeStream(&stream, options.config);
  DecodeDriver driver;
  if (failure == 0 && options.attach_source) {
    block_source.block_size = options.block_size;
    SetDecodeSource(&stream, &block_source);
    if (options.preload_first_block) load(0);
    driver.load_block = [&](uint64_t number) {
      if (options.record_events) result.blocks.push_back(number);
      return load(number);
    };
  }

  size_t offset = 0;
  size_t piece_index = 0;
  std::unique_ptr<uint8_t[]> piece_copy;
  driver.next_piece = [&](DecodePiece* piece) {
    const size_t size = PieceSize(options.pieces, piece_index++, patch.size() - offset);
    piece->data = Serve(patch.data() + offset, size, options.isolated_buffers, piece_copy);
    piece->size = size;
    offset += size;
    piece->last = offset == patch.size();
    return true;
  };
  driver.take_window = [&](DecodeStream* taken) {
    result.window_sizes.push_back(taken->output_size);
    if (options.sink != nullptr) {
      options.sink(options.sink_opaque, taken->output_data, taken->output_size);
    } else {
      result.output.insert(result.output.end(), taken->output_data,
                           taken->output_data + taken->output_size);
    }
    taken->output_size = 0;
    return true;
  };
  if (options.record_events) {
    driver.observe = [&](int status) { result.statuses.push_back(status); };
  }

  bool broken = false;
  if (failure == 0) {
    switch (DriveDecoder(&stream, driver, &failure)) {
      case DriveEnd::kDone:
      case DriveEnd::kStopped:  // nothing here stops
        break;
      case DriveEnd::kDecodeFailed:
        break;
      case DriveEnd::kCloseFailed:
        result.close_status = failure;
        break;
      case DriveEnd::kProtocol:
        broken = true;
        break;
    }
  }

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
