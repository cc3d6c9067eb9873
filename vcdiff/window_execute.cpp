// Window execution: instructions through the code table, addresses through the cache, ADD, RUN
// and COPY into the window buffer, and the end-of-window checks.
#include <algorithm>
#include <cstring>

#include "vcdiff/adler32.h"
#include "vcdiff/decoder.h"
#include "vcdiff/decoder_internal.h"
#include "vcdiff/window_execute.h"

namespace tvl {
namespace {

uint64_t BytesLeft(const SectionCursor& section) {
  return static_cast<uint64_t>(section.end - section.next);
}

void Push(WindowQueue* queue, const PendingInstruction& half) {
  queue->pending[(queue->first + queue->count) & (kParsedHalves - 1)] = half;
  ++queue->count;
}

// Where a source copy's first and last bytes lie, when its block is the one in place (always,
// for a source served as one block); false otherwise. The last byte is the block's last one for a
// copy that runs on past it.
bool SourceEnds(const DecodeStream* stream, const PendingInstruction& half,
                const uint8_t** first_byte, const uint8_t** last_byte) {
  // Only a source copy's window has a source attached.
  const DecodeSource* source = stream->source;
  if (half.address >= stream->copy_length || source->block_data == nullptr || half.size == 0) {
    return false;
  }
  const uint64_t offset = source->copy_base_offset + half.address;
  if (source->copy_base_block + (offset >> source->block_shift) != source->block_number) {
    return false;
  }
  const uint64_t first = offset & source->block_mask;
  if (first >= source->block_bytes) return false;
  const uint64_t last = std::min(first + (half.size - 1), source->block_bytes - 1);
  *first_byte = source->block_data + first;
  *last_byte = source->block_data + last;
  return true;
}

// Parses instructions until kParsedHalves halves wait, the section ends or one fails to parse.
// Both halves of an instruction are parsed before either is queued: a half that failed to parse
// never runs, nor does its partner.
void ParseAhead(DecodeStream* stream) {
  WindowQueue& queue = stream->queue;
  ParseCursors cursors = LoadParseCursors(*stream);
  const uint8_t* touch[2 * kParsedHalves];
  size_t touches = 0;
  while (queue.count + 2 <= kParsedHalves && cursors.instructions != cursors.instructions_end) {
    const CodeTableEntry& entry = (*stream->code_table)[*cursors.instructions++];
    PendingInstruction halves[2] = {{entry.type1, entry.size1, 0}, {entry.type2, entry.size2, 0}};
    const char* message = nullptr;
    for (PendingInstruction& half : halves) {
      if (half.type != kCodeNoop && (message = ParseHalf(&cursors, &half)) != nullptr) break;
    }
    if (message != nullptr) {
      queue.parse_status = Fail(stream, kStatusBadData, message);
      queue.parse_message = message;
      break;
    }
    for (const PendingInstruction& half : halves) {
      if (half.type == kCodeNoop) continue;
      if (half.type >= kCodeCopy &&
          SourceEnds(stream, half, &touch[touches], &touch[touches + 1])) {
        touches += 2;
      }
      Push(&queue, half);
    }
  }
  StoreParseCursors(stream, cursors);
  TouchSourceBytes(touch, touches);
}

int CopyFromSource(DecodeStream* stream, PendingInstruction* half) {
  // Only a VCD_SOURCE window has a source segment, and only with a source attached does it run.
  DecodeSource* source = stream->source;
  uint64_t offset = source->copy_base_offset + half->address;
  const uint64_t block = source->copy_base_block + (offset >> source->block_shift);
  offset &= source->block_mask;

  const int status = GetSourceBlock(stream, block);
  if (status == kStatusNotSeekable) {
    return Fail(stream, kStatusFailed, "non-seekable source in decode");
  }
  if (status != 0) return status;
  const uint64_t size = half->size;
  if (source->block_bytes != source->block_size &&
      (offset > source->block_bytes || size > source->block_bytes - offset)) {
    return Fail(stream, kStatusBadData, "source file too short");
  }
  // The rest of a copy that runs past this block waits for the next one.
  const uint64_t now = std::min(size, source->block_size - offset);
  if (now > 0) {
    std::memcpy(stream->output_data + stream->output_size, source->block_data + offset, now);
  }
  stream->output_size += now;
  if (now < size) {
    half->size -= now;
    half->address += now;
  } else {
    *half = PendingInstruction{};
  }
  return 0;
}

int ExecuteHalf(DecodeStream* stream, PendingInstruction* half) {
  const uint64_t size = half->size;
  if (stream->output_size > stream->output_capacity ||
      size > stream->output_capacity - stream->output_size) {
    return Fail(stream, kStatusBadData, "overflow while decoding");
  }
  uint8_t* out = stream->output_data + stream->output_size;
  SectionCursor& data = stream->data;
  switch (half->type) {
    case kCodeAdd:
      if (BytesLeft(data) < size) return Fail(stream, kStatusBadData, "data underflow");
      if (size > 0) std::memcpy(out, data.next, size);
      data.next += size;
      break;
    case kCodeRun:
      if (BytesLeft(data) == 0) return Fail(stream, kStatusBadData, "data underflow");
      if (size > 0) std::memset(out, *data.next, size);
      data.next += 1;
      break;
    default: {
      if (half->address < stream->copy_length) return CopyFromSource(stream, half);
      const uint64_t from = half->address - stream->copy_length;
      // Addresses lie below the current position, so this fails only for a caller that changed
      // output_size in the middle of a window.
      if (from >= stream->output_size) return Fail(stream, kStatusBadData, "address too large");
      CopyRepeating(out, stream->output_data + from, size);
      break;
    }
  }
  stream->output_size += size;
  *half = PendingInstruction{};
  return 0;
}

// Runs the window's instructions through the queue of parsed halves, asking for source blocks as
// the copies need them.
int ExecuteQueued(DecodeStream* stream) {
  WindowQueue& queue = stream->queue;
  for (;;) {
    if (queue.count < kParseAhead && queue.parse_status == 0) ParseAhead(stream);
    if (queue.count == 0) break;
    // A copy that runs on into the next source block, or waits for one, stays at the front.
    PendingInstruction& half = queue.pending[queue.first];
    if (int status = ExecuteHalf(stream, &half)) return status;
    if (half.type == kCodeNoop) {
      queue.first = (queue.first + 1) & (kParsedHalves - 1);
      --queue.count;
    }
  }
  if (queue.parse_status != 0) return Fail(stream, queue.parse_status, queue.parse_message);
  return 0;
}

}  // namespace

int AllocateAddressCache(DecodeStream* stream) {
  AddressCache& cache = stream->address_cache;
  ReleaseBytes(stream, cache.near_slots);
  ReleaseBytes(stream, cache.same_slots);
  cache.near_slots = nullptr;
  cache.same_slots = nullptr;
  if (cache.near_size > 0) {
    cache.near_slots = static_cast<uint64_t*>(AllocateBytes(stream, cache.near_size * 8));
    if (cache.near_slots == nullptr) return Fail(stream, kStatusOutOfMemory, "out of memory");
  }
  if (cache.same_size > 0) {
    cache.same_slots =
        static_cast<uint64_t*>(AllocateBytes(stream, cache.same_size * kSameBlockSlots * 8));
    if (cache.same_slots == nullptr) return Fail(stream, kStatusOutOfMemory, "out of memory");
  }
  ResetAddressCache(cache);
  return 0;
}

int PrepareWindowBuffer(DecodeStream* stream) {
  if ((stream->window_indicator & kWindowTarget) != 0) {
    return Fail(stream, kStatusUnimplemented, "VCD_TARGET not implemented");
  }
  int status = 0;
  if (stream->output_capacity < stream->target_length) {
    status =
        GrowBuffer(stream, &stream->window_buffer, &stream->output_capacity, stream->target_length);
  }
  stream->output_data = stream->window_buffer;
  return status;
}

int ExecuteWindow(DecodeStream* stream) {
  // A window that stopped for a block goes on through the queue.
  const bool in_place = stream->queue.count == 0 && CanExecuteInPlace(stream);
  if (int status = in_place ? ExecuteInPlace(stream) : ExecuteQueued(stream)) return status;
  if (stream->output_size != stream->target_length) {
    return Fail(stream, kStatusBadData, "wrong window length");
  }
  if (BytesLeft(stream->data) > 0) return Fail(stream, kStatusBadData, "extra data section");
  if (BytesLeft(stream->addresses) > 0) {
    return Fail(stream, kStatusBadData, "extra address section");
  }
  if ((stream->window_indicator & kWindowChecksum) != 0 &&
      Adler32(kAdler32Initial, stream->output_data, stream->output_size) !=
          stream->window_checksum) {
    return Fail(stream, kStatusBadData, "target window checksum mismatch");
  }
  stream->decode_state = kStateFinish;
  stream->section_bytes_taken = 0;
  stream->data.received = 0;
  stream->instructions.received = 0;
  stream->addresses.received = 0;
  return kStatusOutput;
}

}  // namespace tvl
