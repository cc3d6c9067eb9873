#include "vcdiff/encoder/instruction_emitter.h"

#include "vcdiff/code_table.h"
#include "vcdiff/encoder/opcode_lookup.h"
#include "vcdiff/varint.h"

namespace tvl {
namespace {

// Size in the table's terms: sizes beyond the table are given explicitly (entry size 0).
int TableSize(uint64_t size) { return size <= kMaxTableSize ? static_cast<int>(size) : 0; }

void WriteSingle(InstructionEmitter& emitter, const WaitingInstruction& half) {
  int opcode = kDefaultOpcodes.single[half.type][TableSize(half.size)];
  bool explicit_size = half.size > kMaxTableSize;
  if (opcode < 0) {  // e.g. COPY of 1 to 3 bytes, or RUN, whose sizes are always explicit
    opcode = kDefaultOpcodes.single[half.type][0];
    explicit_size = true;
  }
  emitter.instructions.push_back(static_cast<uint8_t>(opcode));
  if (explicit_size) AppendVarint(emitter.instructions, half.size);
  ++emitter.stats.opcodes;
}

// Gives the waiting instruction its opcode, sharing one with `next` when the table allows;
// `next` waits in turn unless it was taken along.
void Push(InstructionEmitter& emitter, uint8_t type, uint64_t size) {
  WaitingInstruction& waiting = emitter.waiting;
  if (waiting.type != kCodeNoop) {
    if (waiting.size <= kMaxTableSize && size <= kMaxTableSize) {
      const uint8_t opcode = kDefaultOpcodes.pair[waiting.type][waiting.size][type][size];
      if (opcode != 0) {
        emitter.instructions.push_back(opcode);
        ++emitter.stats.opcodes;
        ++emitter.stats.paired_opcodes;
        waiting = {};
        return;
      }
    }
    WriteSingle(emitter, waiting);
  }
  waiting = {type, size};
}

}  // namespace

void StartWindow(InstructionEmitter& emitter, uint64_t copy_length) {
  emitter.data.clear();
  emitter.instructions.clear();
  emitter.addresses.clear();
  emitter.cache = MakeAddressCache(emitter.cache_storage);
  emitter.copy_length = copy_length;
  emitter.position = copy_length;
  emitter.waiting = {};
}

void EmitAdd(InstructionEmitter& emitter, const uint8_t* bytes, uint64_t size) {
  if (size == 0) return;
  emitter.data.insert(emitter.data.end(), bytes, bytes + size);
  emitter.position += size;
  emitter.stats.add_bytes += size;
  if (emitter.waiting.type == kCodeAdd) {
    emitter.waiting.size += size;  // its data is already in place, just before ours
    return;
  }
  ++emitter.stats.adds;
  Push(emitter, kCodeAdd, size);
}

void EmitRun(InstructionEmitter& emitter, uint8_t byte, uint64_t size) {
  if (size == 0) return;
  emitter.data.push_back(byte);
  emitter.position += size;
  ++emitter.stats.runs;
  emitter.stats.run_bytes += size;
  Push(emitter, kCodeRun, size);
}

void EmitCopy(InstructionEmitter& emitter, uint64_t address, uint64_t size) {
  if (size == 0) return;
  const AddressChoice choice = ChooseAddressMode(emitter.cache, address, emitter.position);
  if (IsSameMode(emitter.cache, choice.mode)) {
    emitter.addresses.push_back(static_cast<uint8_t>(choice.value));
  } else {
    AppendVarint(emitter.addresses, choice.value);
  }
  UpdateAddressCache(emitter.cache, address);
  emitter.position += size;
  if (address < emitter.copy_length) {
    ++emitter.stats.source_copies;
    emitter.stats.source_copy_bytes += size;
  } else {
    ++emitter.stats.target_copies;
    emitter.stats.target_copy_bytes += size;
  }
  ++emitter.stats.copies_by_mode[choice.mode];
  Push(emitter, static_cast<uint8_t>(kCodeCopy + choice.mode), size);
}

void FinishWindow(InstructionEmitter& emitter) {
  if (emitter.waiting.type != kCodeNoop) WriteSingle(emitter, emitter.waiting);
  emitter.waiting = {};
}

uint32_t CopyCost(const InstructionEmitter& emitter, uint64_t address, uint64_t size,
                  uint64_t here) {
  const AddressChoice choice = ChooseAddressMode(emitter.cache, address, here);
  const uint32_t address_size =
      IsSameMode(emitter.cache, choice.mode) ? 1 : static_cast<uint32_t>(VarintSize(choice.value));
  const uint32_t size_size =
      (size >= 4 && size <= kMaxTableSize) ? 0 : static_cast<uint32_t>(VarintSize(size));
  return 1 + address_size + size_size;
}

}  // namespace tvl
