// The byte layout of a stream: the file header and each window around its three sections.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "vcdiff/encoder/instruction_emitter.h"

namespace tvl {

// Magic and version "D6 C3 C4 00", header indicator 04, then `app_header` with its length.
void WriteFileHeader(std::vector<uint8_t>& out, std::string_view app_header);

// One VCD_SOURCE window with its Adler-32: the source segment is the first `source_length` bytes
// of the source, `target` the bytes the window rebuilds, and `emitter` holds its finished
// sections.
void WriteWindow(std::vector<uint8_t>& out, uint64_t source_length, std::span<const uint8_t> target,
                 const InstructionEmitter& emitter);

}  // namespace tvl
