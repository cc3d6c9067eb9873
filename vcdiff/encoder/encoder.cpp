#include "vcdiff/encoder/encoder.h"

#include <algorithm>

#include "vcdiff/encoder/stream_writer.h"
#include "vcdiff/encoder/window_matcher.h"

namespace tvl {
namespace {

bool IsValidName(std::string_view name) {
  if (name.empty()) return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return c >= 0x20 && c <= 0x7E && c != '/'; });
}

EncodeResult Failure(EncodeStatus status, const char* message) {
  EncodeResult result;
  result.status = status;
  result.message = message;
  return result;
}

}  // namespace

EncodeResult EncodeDelta(std::span<const uint8_t> source, std::span<const uint8_t> target,
                         const EncodeOptions& options, std::vector<uint8_t>& out) {
  out.clear();
  if (!IsValidName(options.target_name) || !IsValidName(options.source_name)) {
    return Failure(EncodeStatus::kBadName,
                   "file names must be non-empty printable ASCII without '/'");
  }
  if (source.size() >= kNoPosition) {
    return Failure(EncodeStatus::kInputTooLarge, "source file of 4 GiB or more");
  }

  const MatcherParams params;
  SourceIndex source_index;
  BuildSourceIndex(source_index, source, params);
  WindowIndex window_index;
  InstructionEmitter emitter;
  EncodeResult result;

  WriteFileHeader(out, options.target_name + "//" + options.source_name + "/");
  uint64_t offset = 0;
  do {
    const uint64_t length = std::min<uint64_t>(kEncoderWindowSize, target.size() - offset);
    const std::span<const uint8_t> window = target.subspan(offset, length);
    StartWindow(emitter, source.size());
    MatchWindow(source_index, window, window_index, params, emitter);
    FinishWindow(emitter);
    WriteWindow(out, source.size(), window, emitter);
    ++result.windows;
    offset += length;
  } while (offset < target.size());
  result.stats = emitter.stats;
  return result;
}

}  // namespace tvl
