// The patch applier for outputs that must never be seen half-written: the result goes to a
// temporary file beside the output (WriteBeside) and replaces it in one step once all of it has
// decoded and been written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "patching/apply_error.h"
#include "patching/decode_to_file.h"
#include "platform/file.h"

namespace tvl {

// Applies `patch` (VCDIFF bytes in memory) like ApplyPatchBytes, but through a temporary file
// beside `output`. The input is opened, and an existing output checked to be replaceable (not
// read-only, not locked), before anything is written. A failure leaves `output` as it was,
// absent or with its old bytes, and no temporary file. An output that is the input itself is
// refused.
bool ApplyPatchBytesReplacing(const Path& input, std::span<const uint8_t> patch, const Path& output,
                              size_t piece_size, ApplyError* error = nullptr,
                              const DecodeControl& control = {});

// ApplyPatchBytesReplacing for a patch in a file, which is read a piece at a time as the decoder
// needs it rather than held whole. A patch file that can't be opened is kNoPatch, with the
// system's reason.
bool ApplyPatchFileReplacing(const Path& input, const Path& patch, const Path& output,
                             size_t piece_size, ApplyError* error = nullptr,
                             const DecodeControl& control = {});

}  // namespace tvl
