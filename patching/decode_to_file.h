// The decoding loop every patch run goes through: a VCDIFF patch against an open source file,
// each finished window written to an open output file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "patching/apply_error.h"
#include "patching/source_blocks.h"
#include "platform/file.h"

namespace tvl {

// Patch bytes handed to the decoder per call, unless the caller asks for another size.
inline constexpr size_t kPatchPieceSize = 4096;

// A run may be given the most it may write: a window that would pass it fails the run (kDecode,
// kOutputLimitMessage) before any of that window is written.
inline constexpr uint64_t kNoOutputLimit = UINT64_MAX;

// The bound a conversion puts on each step, from the size of the step's input. The catalogue
// holds no sizes, and releases of one game differ in size by far less than half: 4 times the
// input plus 64 MiB (one window of the largest size the decoder takes) leaves room for any real
// pair, while a patch of a few KiB that runs 8 MiB windows on and on stops within a few hundred
// MiB instead of filling the disk.
inline constexpr uint64_t ReleaseOutputLimit(uint64_t input_size) {
  constexpr uint64_t kSlack = uint64_t{64} << 20;
  return input_size > (kNoOutputLimit - kSlack) / 4 ? kNoOutputLimit : input_size * 4 + kSlack;
}
inline constexpr char kOutputLimitMessage[] =
    "its output would pass 4 times the input plus 64 MiB, far more than any release: refused";

// Told the size of each window once it is written; false stops the run (ApplyFailure::kStopped).
using WindowWritten = std::function<bool(size_t window_size)>;

// Shown each finished window's bytes just before they are written, e.g. to hash the output as it
// is made rather than read it back.
using WindowDecoded = std::function<void(std::span<const uint8_t> window)>;

// What a run may do besides decoding: how much it may write, and whom it tells of each window.
struct DecodeControl {
  uint64_t output_limit = kNoOutputLimit;
  WindowWritten window_written;  // empty: nobody is told, and nothing stops the run
  WindowDecoded window_decoded;  // empty: nobody looks
};

// A patch's bytes: in memory, or in a file open for reading, read as the decoder goes. A
// regular file is read up to the size it had when the run began, and one that ends before it
// fails the run (kReadPatch): what was read is not the patch.
struct PatchInput {
  std::span<const uint8_t> bytes;
  File* file = nullptr;  // when set, `bytes` is unused
};

// Decodes `patch` against the open input, writing each finished window to the output in one
// write, then closes the output. False with `error` set; the output then keeps the windows
// written before the failure. `reading` says how the input is read; the programs keep the
// default.
bool DecodeToFile(File& input, PatchInput patch, File& output, size_t piece_size,
                  const DecodeControl& control, ApplyError* error, SourceReading reading = {});

}  // namespace tvl
