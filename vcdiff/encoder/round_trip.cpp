#include "vcdiff/encoder/round_trip.h"

#include <algorithm>
#include <cstring>

#include "vcdiff/decoder.h"

namespace tvl {
namespace {

// Frees the stream on every path.
struct StreamGuard {
  DecodeStream* stream;
  ~StreamGuard() { FreeDecodeStream(stream); }
};

DecodeResult Fail(const DecodeStream& stream, int status, uint64_t windows) {
  return {status, stream.message != nullptr ? stream.message : "", windows};
}

}  // namespace

DecodeResult DecodeDelta(std::span<const uint8_t> source, std::span<const uint8_t> patch,
                         std::vector<uint8_t>& out, size_t piece_size, size_t block_size) {
  out.clear();
  DecodeStream stream{};
  StreamGuard guard{&stream};
  if (const int status = ConfigureDecodeStream(&stream, nullptr); status != 0) {
    return Fail(stream, status, 0);
  }
  DecodeSource decode_source{};
  decode_source.block_size = block_size;
  SetDecodeSource(&stream, &decode_source);
  std::vector<uint8_t> block(decode_source.block_size);

  uint64_t windows = 0;
  size_t offset = 0;
  for (;;) {
    const int status = DecodeInput(&stream);
    if (status == kStatusNeedInput) {
      if (offset == patch.size()) break;
      const size_t size = std::min(piece_size, patch.size() - offset);
      stream.input_next = patch.data() + offset;
      stream.input_size = size;
      offset += size;
    } else if (status == kStatusNeedBlock) {
      const uint64_t start = decode_source.requested_block * decode_source.block_size;
      const uint64_t count =
          start < source.size() ? std::min<uint64_t>(block.size(), source.size() - start) : 0;
      if (count > 0) std::memcpy(block.data(), source.data() + start, count);
      decode_source.block_data = block.data();
      decode_source.block_bytes = count;
      decode_source.block_number = decode_source.requested_block;
    } else if (status == kStatusOutput) {
      out.insert(out.end(), stream.output_data, stream.output_data + stream.output_size);
      stream.output_size = 0;
      ++windows;
    } else if (status != kStatusGotHeader && status != kStatusWindowStart &&
               status != kStatusWindowDone) {
      return Fail(stream, status, windows);
    }
  }
  if (const int status = CloseDecodeStream(&stream); status != 0) {
    return Fail(stream, status, windows);
  }
  return {0, "", windows};
}

bool VerifyDelta(std::span<const uint8_t> source, std::span<const uint8_t> target,
                 std::span<const uint8_t> patch) {
  std::vector<uint8_t> rebuilt;
  const DecodeResult result = DecodeDelta(source, patch, rebuilt);
  return result.status == 0 &&
         std::equal(rebuilt.begin(), rebuilt.end(), target.begin(), target.end());
}

}  // namespace tvl
