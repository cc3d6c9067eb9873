// The patch applier: rebuilds a target file from a source file and a VCDIFF patch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

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

enum class ApplyFailure {
  kNone,
  kOpenInput,     // the source file can't be opened
  kCreateOutput,  // the output file can't be created
  kNoPatch,       // the patch directory has no stream of that name
  kDecode,        // the decoder refused the patch or the source; `message` says why
  kWrite,         // writing, closing or putting the output in place failed
  kReadInput,     // the source failed to read (`file_error` says why) or changed meanwhile
  kReadPatch,     // a patch file failed to read; `file_error` says why
};

// Why a run failed. `message` is static text: the decoder's own (for example "target window
// checksum mismatch" or "eof in decode") for kDecode, a short description otherwise.
struct ApplyError {
  ApplyFailure failure = ApplyFailure::kNone;
  const char* message = nullptr;
  FileError file_error = 0;  // the system's error number for kOpenInput, kCreateOutput, kWrite
};

// Applies the built-in patch `patch_name` to `input`, writing `output`. Returns 1 or 0, and
// prints nothing: what went wrong is in `error`, and ApplyPatchDiagnostic gives the line a
// program prints for it. The output is created (or emptied) even when the input can't be
// opened. After a failure the output keeps the windows written before it; deleting it is the
// caller's business.
int ApplyPatch(const Path& input, const char16_t* patch_name, const Path& output,
               ApplyError* error = nullptr);

// Applies `patch` (VCDIFF bytes in memory) to `input`, writing `output`, and reports nothing.
// The patch is fed to the decoder in pieces of `piece_size` bytes (0 means kPatchPieceSize);
// every piece size gives the same result. Returns 1 or 0.
int ApplyPatchBytes(const Path& input, std::span<const uint8_t> patch, const Path& output,
                    size_t piece_size, ApplyError* error = nullptr,
                    uint64_t output_limit = kNoOutputLimit);

// Applies `patch` like ApplyPatchBytes, but puts the result at `output` only once all of it has
// decoded and been written: it goes to a temporary file beside `output`, which then replaces
// `output` in one step. The input is opened, and an existing output checked to be replaceable
// (not read-only, not locked), before anything is written. A failure leaves `output` as it was,
// absent or with its old bytes, and no temporary file. An output that is the input itself is
// refused, as ApplyPatchBytes refuses it.
int ApplyPatchBytesReplacing(const Path& input, std::span<const uint8_t> patch, const Path& output,
                             size_t piece_size, ApplyError* error = nullptr);

// ApplyPatchBytesReplacing for a patch in a file, which is read a piece at a time as the decoder
// needs it rather than held whole. A patch file that can't be opened is kNoPatch, with the
// system's reason.
int ApplyPatchFileReplacing(const Path& input, const Path& patch, const Path& output,
                            size_t piece_size, ApplyError* error = nullptr);

// The applier's diagnostic for a failure to open a file or find or read the patch, in its fixed
// wording and without a line break: "Couldn't open for read: <input>", "Couldn't open for write:
// <output>", "Couldn't open patch data: <patch>" or "Couldn't read patch data: <patch>". Empty
// for any other failure, which the applier reports only through `error`. `patch` names the
// patch (UTF-8).
std::string ApplyPatchDiagnostic(const ApplyError& error, const Path& input, std::string_view patch,
                                 const Path& output);

// One line describing any failure, without a line break: the diagnostic above followed by the
// system's reason in parentheses, or the decoder's message for kDecode.
std::string DescribeApplyError(const ApplyError& error, const Path& input, std::string_view patch,
                               const Path& output);

}  // namespace tvl
