#include "vcdiff/encoder/encoder.h"

#include <algorithm>
#include <memory>

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

int64_t ReadSpan(void* opaque, uint8_t* buffer, uint64_t size) {
  std::span<const uint8_t>& rest = *static_cast<std::span<const uint8_t>*>(opaque);
  const uint64_t count = std::min<uint64_t>(size, rest.size());
  std::copy_n(rest.begin(), count, buffer);
  rest = rest.subspan(count);
  return static_cast<int64_t>(count);
}

}  // namespace

TargetReader SpanTargetReader::reader() { return {ReadSpan, &rest}; }

int64_t ReadFull(TargetReader target, uint8_t* buffer, uint64_t size) {
  uint64_t filled = 0;
  while (filled < size) {
    const int64_t count = target.read(target.opaque, buffer + filled, size - filled);
    if (count < 0) return -1;
    if (count == 0) break;
    filled += static_cast<uint64_t>(count);
  }
  return static_cast<int64_t>(filled);
}

EncodeResult EncodeDelta(std::span<const uint8_t> source, std::span<const uint8_t> target,
                         const EncodeOptions& options, std::vector<uint8_t>& out) {
  SpanTargetReader reader(target);
  return EncodeDelta(source, reader.reader(), options, out);
}

EncodeResult EncodeDelta(std::span<const uint8_t> source, TargetReader target,
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
  // Not zeroed: a small target touches only the pages it fills.
  const std::unique_ptr<uint8_t[]> buffer(new uint8_t[kEncoderWindowSize]);
  for (;;) {
    const int64_t length = ReadFull(target, buffer.get(), kEncoderWindowSize);
    if (length < 0) {
      out.clear();
      return Failure(EncodeStatus::kTargetUnreadable, "the target could not be read");
    }
    // A target that fills its last window exactly ends with that window; an empty target is
    // still one empty window.
    if (length == 0 && result.windows > 0) break;
    const std::span<const uint8_t> window(buffer.get(), static_cast<size_t>(length));
    StartWindow(emitter, source.size());
    MatchWindow(source_index, window, window_index, params, emitter);
    FinishWindow(emitter);
    WriteWindow(out, source.size(), window, emitter);
    ++result.windows;
    if (window.size() < kEncoderWindowSize) break;
  }
  result.stats = emitter.stats;
  return result;
}

}  // namespace tvl
