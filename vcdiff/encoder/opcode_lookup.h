// The default code table read backwards: from instructions to the opcode that carries them.
// Built at compile time from the table the decoder executes, so both sides agree by construction.
#pragma once

#include <array>
#include <cstdint>

#include "vcdiff/address_cache.h"
#include "vcdiff/code_table.h"

namespace tvl {

// Instruction types as in the code table: kCodeNoop, kCodeAdd, kCodeRun, kCodeCopy + mode.
inline constexpr int kInstructionTypes = kCodeCopy + kModeCount;  // 12
// Largest size any entry of the default table spells out.
inline constexpr int kMaxTableSize = 18;

struct OpcodeLookup {
  // Opcode for one instruction of this type and size; size 0 names the explicit-size entry.
  // -1 where the table has no such entry.
  std::array<std::array<int16_t, kMaxTableSize + 1>, kInstructionTypes> single;
  // Opcode for two instructions with spelled-out sizes, or 0 (opcode 0 is a single RUN).
  std::array<std::array<std::array<std::array<uint8_t, kMaxTableSize + 1>, kInstructionTypes>,
                        kMaxTableSize + 1>,
             kInstructionTypes>
      pair;
};

constexpr OpcodeLookup BuildOpcodeLookup(const CodeTable& table) {
  OpcodeLookup lookup{};
  for (auto& sizes : lookup.single) sizes.fill(-1);
  for (int opcode = 0; opcode < 256; ++opcode) {
    const CodeTableEntry& e = table[opcode];
    if (e.type1 == kCodeNoop || e.type1 >= kInstructionTypes || e.size1 > kMaxTableSize) continue;
    if (e.type2 == kCodeNoop) {
      // The RFC table lists each single instruction once; keep the first in case of repeats.
      if (lookup.single[e.type1][e.size1] < 0) lookup.single[e.type1][e.size1] = int16_t(opcode);
    } else if (e.type2 < kInstructionTypes && e.size1 != 0 && e.size2 != 0 &&
               e.size2 <= kMaxTableSize) {
      uint8_t& slot = lookup.pair[e.type1][e.size1][e.type2][e.size2];
      if (slot == 0) slot = static_cast<uint8_t>(opcode);
    }
  }
  return lookup;
}

inline constexpr OpcodeLookup kDefaultOpcodes = BuildOpcodeLookup(DefaultCodeTable);

// Every explicit-size entry exists, so every instruction can be written.
static_assert(kDefaultOpcodes.single[kCodeRun][0] == 0);
static_assert(kDefaultOpcodes.single[kCodeAdd][0] == 1 &&
              kDefaultOpcodes.single[kCodeAdd][17] == 18);
static_assert(kDefaultOpcodes.single[kCodeCopy + 8][0] == 147);
static_assert(kDefaultOpcodes.pair[kCodeAdd][1][kCodeCopy][4] == 163);
static_assert(kDefaultOpcodes.pair[kCodeAdd][4][kCodeCopy + 8][4] == 246);
static_assert(kDefaultOpcodes.pair[kCodeCopy + 8][4][kCodeAdd][1] == 255);

}  // namespace tvl
