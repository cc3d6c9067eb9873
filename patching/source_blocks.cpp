#include "patching/source_blocks.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

namespace tvl {
namespace {

static_assert(std::has_single_bit(kSourceReadSize) && std::has_single_bit(kSourceBlockSize) &&
              kSourceBlockSize <= kSourceReadSize);

// Stands in for the data of a block with nothing in it, so the decoder always has a block.
constexpr uint8_t kNothing[1] = {};

bool Failed(SourceBlocks* blocks, SourceFailure failure, FileError error = 0) {
  blocks->failure = failure;
  blocks->error = error;
  blocks->buffer_valid = false;
  blocks->position_known = false;
  return false;
}

// Moves the file to `offset`. A pipe can't seek, but it can go forward by reading: that is how
// the decoder walks it, block after block with gaps.
bool SeekTo(SourceBlocks* blocks, uint64_t offset) {
  if (blocks->position_known && blocks->file_position == offset) return true;
  FileError seek_error = 0;
  if (blocks->file->Seek(offset, &seek_error)) {
    blocks->file_position = offset;
    blocks->position_known = true;
    return true;
  }
  if (!blocks->position_known || blocks->file_position > offset) {
    return Failed(blocks, SourceFailure::kRead, seek_error);
  }
  while (blocks->file_position < offset) {
    const uint64_t skip = std::min(kSourceReadSize, offset - blocks->file_position);
    FileError read_error = 0;
    const int64_t got = blocks->file->Read(blocks->buffer.get(), skip, &read_error);
    if (got < 0) return Failed(blocks, SourceFailure::kRead, read_error);
    if (got == 0) break;  // the end: whatever is asked for from here on holds nothing
    blocks->file_position += static_cast<uint64_t>(got);
  }
  return true;
}

// Reads `count` blocks from the start of block `first` into the buffer, as much of them as the
// file holds. Starting at the block asked for, not at a multiple of the read size, wastes no read
// on the bytes before a copy that begins mid-way.
bool ReadFrom(SourceBlocks* blocks, uint64_t first, uint64_t count) {
  blocks->buffer_valid = false;
  blocks->first_block = first;
  blocks->buffer_blocks = count;
  blocks->buffer_bytes = 0;
  const uint64_t offset = first * blocks->block_size;  // the caller checked it fits
  uint64_t want = count * blocks->block_size;          // at most kSourceReadSize
  if (blocks->size_known) {
    // A regular file: each read says where, one call instead of a seek and a read. Beyond the
    // size we began with nothing is read, so a file that grew reads as it was; one that ends
    // before it was shortened under us.
    want = std::min(want, blocks->size - offset);
    while (blocks->buffer_bytes < want) {
      FileError read_error = 0;
      const int64_t got = blocks->file->ReadAt(offset + blocks->buffer_bytes,
                                               blocks->buffer.get() + blocks->buffer_bytes,
                                               want - blocks->buffer_bytes, &read_error);
      if (got < 0) return Failed(blocks, SourceFailure::kRead, read_error);
      if (got == 0) return Failed(blocks, SourceFailure::kChanged);
      blocks->buffer_bytes += static_cast<uint64_t>(got);
    }
    blocks->buffer_valid = true;
    return true;
  }
  if (!SeekTo(blocks, offset)) return false;
  // A pipe that ended before `offset` has nothing more to give.
  if (blocks->file_position != offset) want = 0;
  // Short reads are normal (a pipe gives what its writer wrote so far); only 0 is the end.
  while (blocks->buffer_bytes < want) {
    FileError read_error = 0;
    const int64_t got = blocks->file->Read(blocks->buffer.get() + blocks->buffer_bytes,
                                           want - blocks->buffer_bytes, &read_error);
    if (got < 0) return Failed(blocks, SourceFailure::kRead, read_error);
    if (got == 0) break;
    blocks->buffer_bytes += static_cast<uint64_t>(got);
    blocks->file_position += static_cast<uint64_t>(got);
  }
  blocks->buffer_valid = true;
  return true;
}

void ServeNothing(DecodeSource* source) {
  source->block_data = kNothing;
  source->block_bytes = 0;
}

}  // namespace

bool InitSourceBlocks(SourceBlocks* blocks, File* file, SourceReading reading) {
  blocks->file = file;
  blocks->failure = SourceFailure::kNone;
  blocks->error = 0;
  if (reading.access == SourceAccess::kMapped) blocks->view = FileView::Map(*file);
  if (blocks->view.is_mapped()) {
    blocks->size = blocks->view.size();
    blocks->size_known = true;
    blocks->block_size = std::bit_ceil(blocks->size);
    return true;
  }
  // Powers of two up to the read size divide it: a read is always of whole blocks.
  blocks->block_size = std::bit_ceil(std::clamp<uint64_t>(reading.block_size, 1, kSourceReadSize));
  blocks->max_read_blocks = kSourceReadSize / blocks->block_size;
  blocks->size_known = FileView::RegularFileSize(*file, &blocks->size);
  blocks->buffer.reset(new (std::nothrow) uint8_t[kSourceReadSize]);
  blocks->buffer_valid = false;
  blocks->read_blocks = 1;
  blocks->file_position = 0;
  blocks->position_known = true;
  return blocks->buffer != nullptr;
}

bool LoadSourceBlock(SourceBlocks* blocks, uint64_t block, DecodeSource* source) {
  source->block_number = block;
  // Blocks at or past the end hold nothing, and need no read to say so.
  const uint64_t last_block = std::numeric_limits<uint64_t>::max() / blocks->block_size;
  const bool past_end =
      block >= last_block || (blocks->size_known && block * blocks->block_size >= blocks->size);
  if (past_end) {
    ServeNothing(source);
    return true;
  }
  if (blocks->view.is_mapped()) {  // block 0, the whole view
    source->block_data = blocks->view.data();
    source->block_bytes = blocks->size;
    return true;
  }

  if (!blocks->buffer_valid || block < blocks->first_block ||
      block - blocks->first_block >= blocks->buffer_blocks) {
    // Reads grow while the decoder goes on where the last one ended, and start small elsewhere.
    const bool in_order =
        blocks->buffer_valid && block == blocks->first_block + blocks->buffer_blocks;
    blocks->read_blocks = in_order ? std::min(blocks->read_blocks * 2, blocks->max_read_blocks) : 1;
    if (!ReadFrom(blocks, block, blocks->read_blocks)) {
      ServeNothing(source);
      return false;
    }
  }
  const uint64_t offset = (block - blocks->first_block) * blocks->block_size;
  source->block_data = blocks->buffer.get() + offset;
  source->block_bytes = blocks->buffer_bytes > offset
                            ? std::min(blocks->block_size, blocks->buffer_bytes - offset)
                            : 0;
  return true;
}

bool SourceBlocksIntact(SourceBlocks* blocks) {
  if (blocks->failure != SourceFailure::kNone) return false;
  FileError reason = 0;
  if (!blocks->view.faulted(&reason)) return true;
  // A file that is now shorter than the view was cut short under us; otherwise its disk failed.
  uint64_t now = 0;
  FileError size_error = 0;
  if (FileView::RegularFileSize(*blocks->file, &now, &size_error)) {
    if (now < blocks->view.size()) return Failed(blocks, SourceFailure::kChanged);
  } else {
    reason = size_error;
  }
  return Failed(blocks, SourceFailure::kRead, reason);
}

}  // namespace tvl
