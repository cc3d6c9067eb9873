// The patch applier: rebuilds a target file from a source file and a VCDIFF patch, writing the
// output directly. apply_replacing.h writes it beside and puts it in place instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "patching/apply_error.h"
#include "patching/decode_to_file.h"
#include "platform/file.h"

namespace tvl {

// Applies the built-in patch `patch_name` to `input`, writing `output`, and prints nothing: what
// went wrong is in `error`, and ApplyPatchDiagnostic gives the line a program prints for it. The
// output is created (or emptied) even when the input can't be opened. After a failure the output
// keeps the windows written before it; deleting it is the caller's business.
bool ApplyPatch(const Path& input, const char16_t* patch_name, const Path& output,
                ApplyError* error = nullptr);

// Applies `patch` (VCDIFF bytes in memory) to `input`, writing `output`, and reports nothing.
// The patch is fed to the decoder in pieces of `piece_size` bytes (0 means kPatchPieceSize);
// every piece size gives the same result. An output that is the input itself is refused.
bool ApplyPatchBytes(const Path& input, std::span<const uint8_t> patch, const Path& output,
                     size_t piece_size, ApplyError* error = nullptr,
                     const DecodeControl& control = {});

}  // namespace tvl
