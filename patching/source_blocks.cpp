#include "patching/source_blocks.h"

#include <algorithm>
#include <limits>
#include <new>

namespace tvl {
namespace {

constexpr uint64_t kBlocksPerRead = kSourceReadSize / kSourceBlockSize;
constexpr uint64_t kBlocksPerRegion = kViewRegionSize / kSourceBlockSize;
static_assert(kSourceReadSize % kSourceBlockSize == 0);
static_assert(kViewRegionSize % kSourceBlockSize == 0);

// Reads kSourceReadSize bytes from the start of block `first` into the buffer, as much of them as
// the file holds. Starting at the block asked for, not at a multiple of the read size, wastes no
// read on the bytes before a copy that begins mid-way.
void ReadFrom(SourceBlocks* blocks, uint64_t first) {
  blocks->first_block = first;
  blocks->buffer_bytes = 0;
  blocks->buffer_valid = false;
  if (first > std::numeric_limits<uint64_t>::max() / kSourceBlockSize) return;
  const uint64_t offset = first * kSourceBlockSize;
  if (!blocks->position_known || blocks->file_position != offset) {
    blocks->position_known = blocks->file->Seek(offset);
    blocks->file_position = offset;
    if (!blocks->position_known) return;
  }
  while (blocks->buffer_bytes < kSourceReadSize) {
    const int64_t got = blocks->file->Read(blocks->buffer.get() + blocks->buffer_bytes,
                                           kSourceReadSize - blocks->buffer_bytes);
    if (got < 0) {
      // A failed read leaves the position unknown and the read to be tried again.
      blocks->position_known = false;
      return;
    }
    if (got == 0) break;
    blocks->buffer_bytes += static_cast<uint64_t>(got);
    blocks->file_position += static_cast<uint64_t>(got);
  }
  blocks->buffer_valid = true;
}

}  // namespace

bool InitSourceBlocks(SourceBlocks* blocks, File* file, SourceAccess access) {
  blocks->file = file;
  if (access == SourceAccess::kMapped) blocks->view = FileView::Map(*file);
  if (blocks->view.is_mapped()) return true;
  blocks->buffer.reset(new (std::nothrow) uint8_t[kSourceReadSize]);
  blocks->buffer_valid = false;
  blocks->position_known = false;
  return blocks->buffer != nullptr;
}

void LoadSourceBlock(SourceBlocks* blocks, uint64_t block, DecodeSource* source) {
  source->block_number = block;
  if (blocks->view.is_mapped()) {
    // Past the end there is nothing to copy, but the decoder still needs a block in place.
    static constexpr uint8_t kNothing[1] = {};
    const uint64_t size = blocks->view.size();
    const uint64_t blocks_in_file = size / kSourceBlockSize + (size % kSourceBlockSize != 0);
    const bool inside = block < blocks_in_file;
    const uint64_t region = block / kBlocksPerRegion;
    if (inside && region != blocks->view_region) {
      blocks->view_region = region;
      if (++blocks->view_regions_touched > kViewResidentBudget / kViewRegionSize) {
        blocks->view.ReleasePages();
        blocks->view_regions_touched = 1;
      }
    }
    source->block_data = inside ? blocks->view.data() + block * kSourceBlockSize : kNothing;
    source->block_bytes = inside ? std::min(kSourceBlockSize, size - block * kSourceBlockSize) : 0;
    return;
  }
  if (!blocks->buffer_valid || block < blocks->first_block ||
      block - blocks->first_block >= kBlocksPerRead) {
    ReadFrom(blocks, block);
  }
  const uint64_t offset = (block - blocks->first_block) * kSourceBlockSize;
  source->block_data = blocks->buffer.get() + offset;
  source->block_bytes = blocks->buffer_valid && blocks->buffer_bytes > offset
                            ? std::min(kSourceBlockSize, blocks->buffer_bytes - offset)
                            : 0;
}

}  // namespace tvl
