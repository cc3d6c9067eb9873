// The VCDIFF (RFC 3284) encoder: the patch that rebuilds `target` from `source`.
//
// Every stream it writes follows the conventions the decoder relies on:
//   - "D6 C3 C4 00", header indicator 04 (application header only: no secondary compressor, no
//     code table), then the application header "TARGET//SOURCE/" from the two names;
//   - target windows of 8,388,608 bytes, the last one holding the rest; an empty target gets one
//     empty window, so every stream has at least one;
//   - every window: indicator 05 (VCD_SOURCE and the Adler-32 of its target bytes), the whole
//     source file as its source segment, delta indicator 00, shortest integers throughout;
//   - instructions through the default code table with the standard address cache: ADD, RUN,
//     COPY from the source and from the window (overlapping too), paired opcodes where they fit;
//     no COPY starts in the source and runs on into the window;
//   - nothing after the last window.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vcdiff/encoder/instruction_emitter.h"

namespace tvl {

// Every window but the last holds exactly this many target bytes.
inline constexpr uint64_t kEncoderWindowSize = 8388608;

struct EncodeOptions {
  // File names written into the application header as "target//source/": printable ASCII
  // without '/', e.g. "chex3_v14.wad" and "chex3_moddb.wad".
  std::string target_name;
  std::string source_name;
};

enum class EncodeStatus {
  kOk = 0,
  kBadName,           // a name is empty, not printable ASCII, or holds '/'
  kInputTooLarge,     // the source reaches 4 GiB (the matcher numbers positions in 32 bits)
  kTargetUnreadable,  // the target's reader failed
};

struct EncodeResult {
  EncodeStatus status = EncodeStatus::kOk;
  const char* message = "";  // static English text, empty on success
  uint64_t windows = 0;
  EmitterStats stats;  // what the instructions are made of
};

// Hands over the target's next bytes in order: fills up to `size` bytes of `buffer` and returns
// how many, 0 at the target's end, or -1 when it can't be read. Short counts are fine.
using TargetRead = int64_t (*)(void* opaque, uint8_t* buffer, uint64_t size);

struct TargetReader {
  TargetRead read = nullptr;
  void* opaque = nullptr;
};

// Replaces `out` with the patch from `source` to `target`. On failure `out` is left empty.
EncodeResult EncodeDelta(std::span<const uint8_t> source, std::span<const uint8_t> target,
                         const EncodeOptions& options, std::vector<uint8_t>& out);

// The same, with the target read one window at a time: a target of any size costs one window
// of memory, so only the source need be held.
EncodeResult EncodeDelta(std::span<const uint8_t> source, TargetReader target,
                         const EncodeOptions& options, std::vector<uint8_t>& out);

// Reads `span` in order, for the functions that take a reader. `span` must outlive it.
struct SpanTargetReader {
  explicit SpanTargetReader(std::span<const uint8_t> span) : rest(span) {}
  TargetReader reader();
  std::span<const uint8_t> rest;
};

// Fills `buffer` from `target` until it is full or the target ends: the count, or -1.
int64_t ReadFull(TargetReader target, uint8_t* buffer, uint64_t size);

}  // namespace tvl
