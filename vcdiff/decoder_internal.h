// Helpers shared by the decoder's source files; not part of the public interface.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "vcdiff/decoder.h"

namespace tvl {

// Buffers grow in steps of this many bytes.
inline constexpr uint64_t kBufferGrowthStep = 16384;

// Every check of the decoder ends here: the stream keeps the static text, the caller gets the
// status. A check then reads as one line: `if (bad) return Fail(stream, status, "text");`.
inline int Fail(DecodeStream* stream, int status, const char* message) {
  stream->message = message;
  return status;
}

// `size` bytes through the stream's allocator, or null when refused or not addressable here.
void* AllocateBytes(DecodeStream* stream, uint64_t size);
// Gives back what AllocateBytes returned; null is ignored.
void ReleaseBytes(DecodeStream* stream, void* pointer);

// Makes `*buffer` hold at least `needed` bytes. Reuses a large enough buffer; otherwise releases
// it and allocates `needed` rounded up to a multiple of kBufferGrowthStep. Contents are not kept.
// Returns 0, or kStatusOutOfMemory with "out of memory" (the buffer is then empty).
int GrowBuffer(DecodeStream* stream, uint8_t** buffer, uint64_t* capacity, uint64_t needed);
// As GrowBuffer, but the first `keep` bytes (at most the old capacity) move to the new buffer.
// A failed allocation leaves the old buffer in place.
int GrowBufferKeeping(DecodeStream* stream, uint8_t** buffer, uint64_t* capacity, uint64_t needed,
                      uint64_t keep);

// Window execution, called by the input state machine.
int AllocateAddressCache(DecodeStream* stream);
int PrepareWindowBuffer(DecodeStream* stream);
int ExecuteWindow(DecodeStream* stream);

// Both ways of running a window's instructions share what follows, so that they fail alike.

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

// True when every COPY of the current window can be served without asking for a source block
// (the window's source segment lies wholly in the block in place, or it has none) and the
// address cache has its default sizes, the only ones a stream can have.
bool CanExecuteInPlace(const DecodeStream* stream);

// Runs the rest of the current window's instructions, all of them parsed and checked a batch
// ahead of running; only while CanExecuteInPlace. Returns 0 once all have run, else the
// failure the queued way would give, after running the halves before it.
int ExecuteInPlace(DecodeStream* stream);

}  // namespace tvl
