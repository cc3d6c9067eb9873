// The decoder's source blocks, served from a view of the input file where it can be mapped, or
// read through a read-ahead buffer.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/file.h"
#include "platform/file_view.h"
#include "vcdiff/decoder.h"

namespace tvl {

// Bytes per source block as the decoder sees them when the source is read, unless the caller
// asks for another size. A view is served as one block holding the whole file, so the decoder
// never stops to ask for another.
inline constexpr uint64_t kSourceBlockSize = 4096;
// Most bytes read from the file at a time: 16 blocks. Copies mostly walk the source block after
// block, so one read (and no seek) then serves a run of requests instead of a seek and a read for
// each. A request elsewhere reads one block, and reads grow again while requests go on in order,
// so short copies from all over the source don't each read 64 KiB.
inline constexpr uint64_t kSourceReadSize = 65536;

// Why the source's bytes could not be had.
enum class SourceFailure {
  kNone,
  kChanged,  // the file ended before the size it had when we began: another program shortened it
  kRead,     // the system could not read it; `error` says why
};

struct SourceBlocks {
  File* file = nullptr;
  // Blocks point straight into the view when there is one: no copy of the source, no over-read.
  FileView view;
  uint64_t size = 0;                       // the file's size when we began, when `size_known`
  uint64_t block_size = kSourceBlockSize;  // a power of two; for a view, at least its size
  uint64_t max_read_blocks = kSourceReadSize / kSourceBlockSize;  // blocks in `buffer`
  bool size_known = false;            // false for pipes and devices, which end where their reads do
  std::unique_ptr<uint8_t[]> buffer;  // kSourceReadSize bytes
  uint64_t first_block = 0;           // the block at the start of `buffer`
  uint64_t buffer_blocks = 0;         // blocks the last read asked for, from `first_block` on
  uint64_t buffer_bytes = 0;          // valid bytes in `buffer`; fewer only at the end of file
  bool buffer_valid = false;
  uint64_t read_blocks = 1;    // blocks the next read asks for
  uint64_t file_position = 0;  // where the file stands, when `position_known`
  bool position_known = false;
  SourceFailure failure = SourceFailure::kNone;
  FileError error = 0;  // the system's reason for kRead
};

// How blocks come from the file: from a view (falling back to reads where the file can't be
// mapped), or always through the read-ahead buffer.
enum class SourceAccess { kMapped, kRead };

// How a run reads its source. The programs take the defaults; tests and the fuzz target choose
// reads, and small blocks, to reach the read-ahead's edges with small files.
struct SourceReading {
  SourceAccess access = SourceAccess::kMapped;
  // Bytes per block when the file is read: raised to a power of two, at most kSourceReadSize.
  uint64_t block_size = kSourceBlockSize;
};

// Prepares `blocks` to serve `file`, which stands at its start; false when the read-ahead buffer
// can't be allocated.
bool InitSourceBlocks(SourceBlocks* blocks, File* file, SourceReading reading = {});

// Puts source block `block` (of `block_size` bytes) into `source` (block_data, block_bytes,
// block_number). Positions are 64-bit: block * 4096 in 32 bits would wrap at 4 GiB and, as a signed
// offset, go wrong from 2 GiB on. A block past the end of the file gets 0 valid bytes, and the
// decoder then refuses a copy from it ("source file too short") rather than use stale bytes.
// Returns false, with `failure` and `error` set and 0 valid bytes, when the file can't be read or
// ends early.
bool LoadSourceBlock(SourceBlocks* blocks, uint64_t block, DecodeSource* source);

// Whether every block handed out so far held the file's bytes. A view can only tell afterwards:
// an unreadable page reads as zeros. Ask after each decoding step that may have copied from the
// source, and before trusting the result; false, with `failure` and `error` set, when not.
bool SourceBlocksIntact(SourceBlocks* blocks);

}  // namespace tvl
