#include "vcdiff/decode_driver.h"

namespace tvl {

DriveEnd DriveDecoder(DecodeStream* stream, const DecodeDriver& driver, int* status) {
  uint64_t delivered = 0;
  for (;;) {
    DecodePiece piece;
    if (!driver.next_piece(&piece)) return DriveEnd::kStopped;
    stream->input_next = piece.data;
    stream->input_size = piece.size;
    for (;;) {
      int result = 0;
      if (!driver.step) {
        result = DecodeInput(stream);
      } else if (!driver.step(stream, &result)) {
        return DriveEnd::kStopped;
      }
      if (driver.observe) driver.observe(result);
      if (result == kStatusNeedInput) break;
      switch (result) {
        case kStatusGotHeader:
        case kStatusWindowStart:
        case kStatusWindowDone:
          break;
        case kStatusNeedBlock:
          if (!driver.load_block || stream->source == nullptr) return DriveEnd::kProtocol;
          if (!driver.load_block(stream->source->requested_block)) return DriveEnd::kStopped;
          break;
        case kStatusOutput:
          if (stream->output_size != stream->target_length) return DriveEnd::kProtocol;
          delivered += stream->output_size;
          if (!driver.take_window(stream)) return DriveEnd::kStopped;
          break;
        default:
          if (status) *status = result;
          return DriveEnd::kDecodeFailed;
      }
    }
    if (piece.last) break;
  }
  if (const int closed = CloseDecodeStream(stream); closed != 0) {
    if (status) *status = closed;
    return DriveEnd::kCloseFailed;
  }
  return stream->output_total == delivered ? DriveEnd::kDone : DriveEnd::kProtocol;
}

}  // namespace tvl
