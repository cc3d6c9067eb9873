// The decoder's source blocks, served from a view of the input file, or through a read-ahead
// buffer where the file can't be mapped.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/file.h"
#include "platform/file_view.h"
#include "vcdiff/decoder.h"

namespace tvl {

// Bytes per source block as the decoder sees them.
inline constexpr uint64_t kSourceBlockSize = 4096;
// Bytes read from the file at a time: 16 blocks. Copies mostly walk the source block after block,
// so one read (and no seek) then serves a run of requests instead of a seek and a read for each.
inline constexpr uint64_t kSourceReadSize = 65536;
// How much of a view may be touched before its pages are handed back, so that memory stays small
// however large the source. A fault may map a whole 2 MiB page of the file at once, so touching is
// counted in 2 MiB regions.
inline constexpr uint64_t kViewRegionSize = uint64_t{2} << 20;
inline constexpr uint64_t kViewResidentBudget = uint64_t{4} << 20;

struct SourceBlocks {
  File* file = nullptr;
  // Blocks point straight into the view when there is one: no copy of the source, no over-read.
  FileView view;
  uint64_t view_region = UINT64_MAX;  // the region of the view last served from
  uint64_t view_regions_touched = 0;  // since the view's pages were last handed back
  std::unique_ptr<uint8_t[]> buffer;  // kSourceReadSize bytes
  uint64_t first_block = 0;           // the block at the start of `buffer`
  uint64_t buffer_bytes = 0;          // valid bytes in `buffer`
  bool buffer_valid = false;
  uint64_t file_position = 0;  // where the file stands, when `position_known`
  bool position_known = false;
};

// How blocks come from the file: from a view (falling back to reads where the file can't be
// mapped), or always through the read-ahead buffer.
enum class SourceAccess { kMapped, kRead };

// Prepares `blocks` to serve `file`; false when the read-ahead buffer can't be allocated.
bool InitSourceBlocks(SourceBlocks* blocks, File* file,
                      SourceAccess access = SourceAccess::kMapped);

// Puts source block `block` into `source` (block_data, block_bytes, block_number). Positions are
// 64-bit: block * 4096 in 32 bits would wrap at 4 GiB and, as a signed offset, go wrong from
// 2 GiB on. A block past the end of the file, or one that can't be read, gets 0 valid bytes, and
// the decoder then refuses a copy from it ("source file too short") rather than use stale bytes.
void LoadSourceBlock(SourceBlocks* blocks, uint64_t block, DecodeSource* source);

}  // namespace tvl
