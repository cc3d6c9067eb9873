// What the two ways of running a window's instructions share, so that they parse and fail alike:
// through the queue (window_execute.cpp), asking for source blocks as copies need them, or in
// batches with every copy at hand (window_execute_in_place.cpp).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vcdiff/address_cache.h"
#include "vcdiff/code_table.h"
#include "vcdiff/decoder.h"

namespace tvl {

// Reads an integer of a section that is wholly in memory. The cursor moves only past a whole
// integer. Returns null, or the failure's message.
inline const char* ReadSectionInteger(const uint8_t** next, const uint8_t* end, uint64_t* value) {
  constexpr uint64_t kOverflowBits = ~uint64_t{0} << 57;
  const uint8_t* at = *next;
  uint64_t result = 0;
  // Where the section's end is out of reach, nine bytes can't overflow: no check for either.
  if (end - at >= 9) {
    for (int i = 0; i < 9; ++i) {
      const uint8_t byte = at[i];
      result = (result << 7) | (byte & 0x7F);
      if ((byte & 0x80) == 0) {
        *next = at + i + 1;
        *value = result;
        return nullptr;
      }
    }
    result = 0;
  }
  for (;;) {
    if (at == end) return "end-of-input in read_integer";
    if ((result & kOverflowBits) != 0) return "overflow in read_intger";
    const uint8_t byte = *at++;
    result = (result << 7) | (byte & 0x7F);
    if ((byte & 0x80) == 0) break;
  }
  *next = at;
  *value = result;
  return nullptr;
}

// Reads both ends of each source copy just parsed, in one go. Short copies from all over a large
// source otherwise wait for memory, and for the page-table walk before it, one after the other;
// loads that don't depend on each other wait together. Most copies of a few dozen bytes cross a
// cache line, and the second line would miss on its own. Prefetch hints measured no better.
inline void TouchSourceBytes(const uint8_t* const* bytes, size_t count) {
  uint8_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum ^= *bytes[i];
  asm volatile("" : : "r"(sum));
}

// Where a window stands in its address space: the source segment, then the target so far.
struct AddressSpace {
  uint64_t copy_length;  // the source segment's length, where the target begins
  uint64_t position;     // the next target byte's address
  uint64_t limit;        // one past the target's last byte
};

// What parsing moves, held in locals while a run of opcodes is parsed and given back to the
// stream when the run ends (LoadParseCursors, StoreParseCursors).
struct ParseCursors {
  const uint8_t* instructions;
  const uint8_t* instructions_end;
  const uint8_t* addresses;
  const uint8_t* addresses_end;
  AddressSpace space;
  // The stream's, with its sizes as constants, which lets the cache's arithmetic fold: a stream
  // has no other sizes, since a header that would give others is refused before any window.
  AddressCache cache;
};

inline ParseCursors LoadParseCursors(const DecodeStream& stream) {
  return {
      .instructions = stream.instructions.next,
      .instructions_end = stream.instructions.end,
      .addresses = stream.addresses.next,
      .addresses_end = stream.addresses.end,
      .space = {stream.copy_length, stream.position, stream.position_limit},
      .cache = {kNearCacheSize, kSameCacheSize, stream.address_cache.next_near_slot,
                stream.address_cache.near_slots, stream.address_cache.same_slots},
  };
}

inline void StoreParseCursors(DecodeStream* stream, const ParseCursors& cursors) {
  stream->instructions.next = cursors.instructions;
  stream->addresses.next = cursors.addresses;
  stream->position = cursors.space.position;
  stream->address_cache.next_near_slot = cursors.cache.next_near_slot;
}

// The checks of a parsed half, in their order: a COPY's address lies below the position and a
// source copy stays in the source segment; every half ends within the window. Returns null, or
// the failure's message.
inline const char* CheckHalf(const AddressSpace& space, uint8_t type, uint64_t size,
                             uint64_t address) {
  if (type >= kCodeCopy) {
    if (address >= space.position) return "address too large";
    // A single COPY never runs from the source segment on into the target window.
    if (address < space.copy_length && size > space.copy_length - address) {
      return "size too large";
    }
  }
  if (size > space.limit - space.position) return "size too large";
  return nullptr;
}

// Size and address of a half of type and table size already set, and its checks against the
// address space; the position moves past it, and the cache takes a COPY's address. Returns null,
// or the failure's message. Inlined by force: it is used twice per opcode, and as a call the
// decoding took 30% more instructions.
[[gnu::always_inline]] inline const char* ParseHalf(ParseCursors* cursors,
                                                    PendingInstruction* half) {
  if (half->size == 0) {
    if (const char* message =
            ReadSectionInteger(&cursors->instructions, cursors->instructions_end, &half->size)) {
      return message;
    }
  }
  if (half->type >= kCodeCopy) {
    AddressCache& cache = cursors->cache;
    const uint64_t mode = half->type - kCodeCopy;
    uint64_t value = 0;
    if (IsSameMode(cache, mode)) {
      if (cursors->addresses == cursors->addresses_end) return "address underflow";
      value = *cursors->addresses++;
    } else if (const char* message =
                   ReadSectionInteger(&cursors->addresses, cursors->addresses_end, &value)) {
      return message;
    }
    half->address = DecodeAddress(cache, mode, value, cursors->space.position);
    UpdateAddressCache(cache, half->address);
  }
  if (const char* message = CheckHalf(cursors->space, half->type, half->size, half->address)) {
    return message;
  }
  cursors->space.position += half->size;
  return nullptr;
}

// Copies `size` bytes to `out` from `from` (from < out, both in one buffer) as if one byte at a
// time in ascending order: where the ranges overlap, the bytes between `from` and `out` repeat.
// The repeated pattern is copied in chunks that double, each chunk reading only bytes that are
// already final.
inline void CopyRepeating(uint8_t* out, const uint8_t* from, uint64_t size) {
  uint64_t distance = static_cast<uint64_t>(out - from);
  while (size > 0) {
    const uint64_t chunk = std::min(size, distance);
    std::memcpy(out, from, chunk);
    out += chunk;
    size -= chunk;
    distance += chunk;
  }
}

// True when every COPY of the current window can be served without asking for a source block:
// the window's source segment lies wholly in the block in place, or it has none.
bool CanExecuteInPlace(const DecodeStream* stream);

// Runs the rest of the current window's instructions, all of them parsed and checked a batch
// ahead of running; only while CanExecuteInPlace. Returns 0 once all have run, else the
// failure the queued way would give, after running the halves before it.
int ExecuteInPlace(DecodeStream* stream);

}  // namespace tvl
