// The queue of parsed halves that window_execute.cpp runs a window through when its copies may
// need source blocks one at a time. The stream holds it, so that a window stopped for a block goes
// on where it stood; nothing outside that file reads it.
#pragma once

#include <cstdint>

namespace tvl {

// Halves of instructions parsed ahead of the ones that run, by either way of running a window.
// The source bytes of the copies among them are asked of memory together, well before they are
// copied: short copies from all over a large source would otherwise each wait for memory in turn.
inline constexpr uint32_t kParsedHalves = 64;  // a power of two: the queue is a ring
// The queue parses more once fewer halves than this wait.
inline constexpr uint32_t kParseAhead = 32;

// One half of an opcode, parsed and checked, until it has run. type 0 means nothing is pending.
struct PendingInstruction {
  uint8_t type = 0;      // kCodeNoop, kCodeAdd, kCodeRun or kCodeCopy + mode
  uint64_t size = 0;     // bytes still to produce; a source copy that crosses blocks shrinks
  uint64_t address = 0;  // COPY only: the next byte to copy, moving on with the size
};

struct WindowQueue {
  // Halves parsed and not yet run, oldest first from `first`; the front one may be half done,
  // waiting for the next source block.
  PendingInstruction pending[kParsedHalves];
  uint32_t first = 0;  // slot of the oldest pending half
  uint32_t count = 0;  // pending halves; 0 between windows
  // A parse failure met ahead, 0 while none: reported once the halves before it have run, as if
  // met in turn, and the end of the stream's decoding.
  int parse_status = 0;
  const char* parse_message = nullptr;  // its text, while parse_status is set
};

}  // namespace tvl
