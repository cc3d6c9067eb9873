// The two halves of a patch run, shared by ApplyPatch and ApplyPatchBytes so that both open the
// files in the same order and decode the same way.
#pragma once

#include <span>

#include "patching/apply_patch.h"
#include "platform/file.h"

namespace tvl {

// Opens `input` for reading, then creates `output` whether or not the input opened. The one
// exception: an output that is the input file itself is never created, since that would empty
// the source before a byte of it was read. Returns false with `error` set on any failure.
bool OpenPatchFiles(const Path& input, const Path& output, File* input_file, File* output_file,
                    ApplyError* error);

// A patch's bytes: in memory, or in a file open for reading, read as the decoder goes.
struct PatchInput {
  std::span<const uint8_t> bytes;
  File* file = nullptr;  // when set, `bytes` is unused
  // The most the run may write.
  uint64_t output_limit = kNoOutputLimit;
};

// Decodes `patch` against the open input, writing each finished window to the output in one
// write, then closes the output. Returns 1 or 0 with `error` set.
int DecodeToFile(File& input, PatchInput patch, File& output, size_t piece_size, ApplyError* error);

// ApplyPatchBytesReplacing for a patch in memory or in a file.
int ApplyPatchReplacing(const Path& input, PatchInput patch, const Path& output, size_t piece_size,
                        ApplyError* error);

// Sets `*error` (when given) and returns 0. Not named Fail: that is the decoder's helper.
int FailApply(ApplyError* error, ApplyFailure failure, const char* message,
              FileError file_error = 0);

}  // namespace tvl
