// Turns one window's ADD, RUN and COPY instructions into its three sections. Opcodes go through
// the default code table: each instruction waits until the next one is known, so that an ADD and
// a COPY (either order) share one opcode whenever the table has that pair. COPY addresses go
// through the address cache, in the cheapest mode, as soon as the COPY is given, which is the
// order in which the decoder will decode them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "vcdiff/address_cache.h"

namespace tvl {

// Counts over everything emitted, for tests and benchmarks.
struct EmitterStats {
  uint64_t opcodes = 0;
  uint64_t paired_opcodes = 0;  // opcodes carrying two instructions
  uint64_t adds = 0, add_bytes = 0;
  uint64_t runs = 0, run_bytes = 0;
  uint64_t source_copies = 0, source_copy_bytes = 0;
  uint64_t target_copies = 0, target_copy_bytes = 0;
  std::array<uint64_t, kModeCount> copies_by_mode{};
};

// One instruction not yet given its opcode. type kCodeNoop: none.
struct WaitingInstruction {
  uint8_t type = 0;
  uint64_t size = 0;
};

struct InstructionEmitter {
  InstructionEmitter() = default;
  // The cache points into `cache_storage`, so the record stays where it was made.
  InstructionEmitter(const InstructionEmitter&) = delete;
  InstructionEmitter& operator=(const InstructionEmitter&) = delete;

  std::vector<uint8_t> data;
  std::vector<uint8_t> instructions;
  std::vector<uint8_t> addresses;
  AddressCacheStorage cache_storage{};
  AddressCache cache{};
  uint64_t copy_length = 0;  // source segment length: target addresses start here
  uint64_t position = 0;     // address of the next target byte
  WaitingInstruction waiting;
  EmitterStats stats;
};

// Empties the sections and the address cache for a window whose source segment is
// `copy_length` bytes long. Stats carry on across windows.
void StartWindow(InstructionEmitter& emitter, uint64_t copy_length);

// The next `size` target bytes are `bytes`. Consecutive ADDs merge into one.
void EmitAdd(InstructionEmitter& emitter, const uint8_t* bytes, uint64_t size);
// The next `size` target bytes all equal `byte`.
void EmitRun(InstructionEmitter& emitter, uint8_t byte, uint64_t size);
// The next `size` target bytes repeat those at `address` (< position). A source address plus
// `size` must stay within the segment; a target address may overlap the bytes being written.
void EmitCopy(InstructionEmitter& emitter, uint64_t address, uint64_t size);

// Writes the instruction still waiting. The sections are then complete.
void FinishWindow(InstructionEmitter& emitter);

// Bytes a COPY of `size` from `address` would cost if it started at `here` with the cache as it
// is now: opcode, size and address, ignoring any pairing. The matcher weighs candidates with it.
uint32_t CopyCost(const InstructionEmitter& emitter, uint64_t address, uint64_t size,
                  uint64_t here);

}  // namespace tvl
