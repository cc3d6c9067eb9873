// DecodeInput: the resumable state machine over the file header, window headers and sections.
#include <algorithm>
#include <cstring>
#include <limits>

#include "vcdiff/decoder.h"
#include "vcdiff/decoder_internal.h"
#include "vcdiff/varint.h"

namespace tvl {
namespace {

constexpr uint64_t kMaxU64 = std::numeric_limits<uint64_t>::max();
// RFC 3284 section 4.1: "Header1 - 0xD6, Header2 - 0xC3, Header3 - 0xC4, Header4 - version".
constexpr uint8_t kMagic[3] = {0xD6, 0xC3, 0xC4};
// Values with any of bits 57 to 63 set cannot take 7 more bits.
constexpr uint64_t kVarintOverflowBits = ~uint64_t{0} << 57;
// The part of a window's delta encoding before its sections, at most: the target length, the
// delta indicator, three section lengths and the checksum.
constexpr uint64_t kMaxEncodingHeader = 10 + 1 + 3 * 10 + 4;

int NeedInput(DecodeStream* stream) {
  return Fail(stream, kStatusNeedInput, "further input required");
}

void Consume(DecodeStream* stream, uint64_t count) {
  stream->input_next += count;
  stream->input_size -= count;
  stream->input_total += count;
}

int ReadByte(DecodeStream* stream, uint64_t* field) {
  if (stream->input_size == 0) return NeedInput(stream);
  *field = *stream->input_next;
  Consume(stream, 1);
  return 0;
}

int GatherBytes(DecodeStream* stream, uint8_t* buffer, uint64_t length, uint64_t* filled) {
  if (*filled < length && stream->input_size > 0) {
    const uint64_t take = std::min(length - *filled, stream->input_size);
    std::memcpy(buffer + *filled, stream->input_next, take);
    *filled += take;
    Consume(stream, take);
  }
  return *filled < length ? NeedInput(stream) : 0;
}

// Resumable: varint_accumulator carries a partly read integer across calls.
int ReadVarint(DecodeStream* stream, uint64_t* field) {
  for (;;) {
    if (stream->input_size == 0) return NeedInput(stream);
    const uint8_t byte = *stream->input_next;
    Consume(stream, 1);
    if ((stream->varint_accumulator & kVarintOverflowBits) != 0) {
      return Fail(stream, kStatusBadData, "overflow in decode_integer");
    }
    stream->varint_accumulator = (stream->varint_accumulator << 7) | (byte & 0x7F);
    if ((byte & 0x80) == 0) break;
  }
  *field = stream->varint_accumulator;
  stream->varint_accumulator = 0;
  return 0;
}

bool HasSegment(const DecodeStream* stream) {
  const uint64_t bits = stream->window_indicator & (kWindowSource | kWindowTarget);
  return bits == kWindowSource || bits == kWindowTarget;
}

// A VCD_DECOMPRESS header always fails: no secondary compressor is available.
int CheckSecondaryId(DecodeStream* stream) {
  for (const SecondaryCompressor& compressor : kSecondaryCompressors) {
    if (compressor.id == stream->secondary_id) {
      return Fail(stream, kStatusFailed, compressor.unavailable);
    }
  }
  return Fail(stream, kStatusBadData, "unknown secondary compressor ID");
}

// State 9, once the window indicator is in.
int StartWindow(DecodeStream* stream) {
  stream->window_number = stream->window_count;
  if (stream->target_length > kMaxU64 - stream->window_target_offset) {
    return Fail(stream, kStatusBadData, "decoder file offset overflow");
  }
  stream->window_target_offset += stream->target_length;
  if (stream->window_indicator > 7) {
    return Fail(stream, kStatusBadData, "unrecognized window indicator bits set");
  }
  ResetAddressCache(stream->address_cache);
  stream->copy_length = 0;
  stream->copy_offset = 0;
  stream->checksum_filled = 0;
  return 0;
}

// After state 11.
int CheckSourceSegment(DecodeStream* stream) {
  if (stream->copy_length > kMaxU64 - stream->copy_offset) {
    return Fail(stream, kStatusBadData, "decoder copy window overflows a file offset");
  }
  if ((stream->window_indicator & kWindowTarget) != 0 &&
      stream->copy_offset + stream->copy_length > stream->window_target_offset) {
    return Fail(stream, kStatusBadData, "VCD_TARGET window out of bounds");
  }
  return 0;
}

// The longest delta encoding a window of `target_length` bytes can usefully have. Every
// instruction worth writing produces at least one byte, and integers take their shortest form.
// Per target byte the dearest instruction is a one-byte COPY with an explicit size: an opcode, a
// size byte and an address. Every address mode writes either one byte or a value below
// `position_limit`, so an address takes at most VarintSize(position_limit) bytes. A one-byte ADD
// or RUN with an explicit size costs 3 bytes, and anything longer costs less per byte. So the
// sections hold at most (2 + VarintSize(position_limit)) bytes per target byte: at most 12 times
// 64 MiB plus the header, which neither overflows nor lets a header of a few bytes declare
// gigabytes of sections.
uint64_t MaxEncodingLength(const DecodeStream* stream) {
  return kMaxEncodingHeader +
         (2 + static_cast<uint64_t>(VarintSize(stream->position_limit))) * stream->target_length;
}

// After state 13. The source segment itself allocates nothing: its end is bounded by the check
// after state 11, and bytes beyond the source's end fail when a COPY reads them.
int CheckTargetLength(DecodeStream* stream) {
  if (stream->target_length > kMaxU64 - stream->copy_length) {
    return Fail(stream, kStatusBadData, "decoder target window overflows a usize_t");
  }
  if (stream->target_length > kMaxTargetWindow) {
    return Fail(stream, kStatusBadData, "hard window size exceeded");
  }
  stream->position_limit = stream->copy_length + stream->target_length;
  if (stream->encoding_length > MaxEncodingLength(stream)) {
    return Fail(stream, kStatusBadData, "incorrect encoding length (redundent)");
  }
  return 0;
}

// States 15 to 17: a section can't be longer than what the encoding that contains it has left
// after the `before` bytes of the sections before it. With the encoding length bounded, so is
// every section, and their sum can't wrap.
int ReadSectionLength(DecodeStream* stream, uint64_t* length, uint64_t before) {
  if (int status = ReadVarint(stream, length)) return status;
  if (*length > stream->encoding_length - before) {
    return Fail(stream, kStatusBadData, "incorrect encoding length (redundent)");
  }
  return 0;
}

int CheckDeltaIndicator(DecodeStream* stream) {
  if (stream->delta_indicator > 7) {
    return Fail(stream, kStatusBadData, "unrecognized delta indicator bits set");
  }
  if (stream->delta_indicator != 0) {
    return Fail(stream, kStatusBadData, "invalid delta indicator bits set");
  }
  return 0;
}

// The stated length of the delta encoding must match what follows it, counted with the shortest
// integer encodings (64-bit arithmetic, as stated).
int CheckEncodingLength(DecodeStream* stream) {
  uint64_t expected = VarintSize(stream->target_length) + 1 + VarintSize(stream->data.length) +
                      VarintSize(stream->instructions.length) +
                      VarintSize(stream->addresses.length);
  if ((stream->window_indicator & kWindowChecksum) != 0) expected += 4;
  expected += stream->data.length + stream->instructions.length + stream->addresses.length;
  if (stream->encoding_length != expected) {
    return Fail(stream, kStatusBadData, "incorrect encoding length (redundent)");
  }
  return 0;
}

// Makes the section's copy hold `needed` bytes, keeping those received. The copy grows with the
// bytes that arrive, not with the length the header declares, so a truncated stream makes the
// decoder hold at most twice what it delivered. Growth at least doubles (up to the section's
// length), so a section given in small pieces is moved only a few times.
//
// A copy kept from an earlier window that is too short for this section is replaced as the
// section begins, while it holds nothing to keep: the old copy is freed before the new one is
// allocated, so a section somewhat longer than the last doesn't hold both for a moment.
int GrowSectionCopy(DecodeStream* stream, SectionCursor* section, uint64_t needed) {
  const bool starting = section->received == 0 && section->copy_capacity < section->length;
  if (section->copy == nullptr || section->copy_capacity < needed || starting) {
    // The capacity is below the bounded length: doubling can't wrap.
    const uint64_t grown = std::max(needed, std::min(section->length, section->copy_capacity * 2));
    // With nothing received there is nothing to keep, and the old copy goes first.
    const int status = section->received == 0
                           ? GrowBuffer(stream, &section->copy, &section->copy_capacity, grown)
                           : GrowBufferKeeping(stream, &section->copy, &section->copy_capacity,
                                               grown, section->received);
    if (status != 0) return status;
  }
  section->next = section->copy;
  return 0;
}

// Takes in whatever part of `section` the input holds; once it is complete, goes on to state
// `next` and returns 0.
int TakeSection(DecodeStream* stream, SectionCursor* section, DecodeState next, bool short_input) {
  if (section->received < section->length) {
    if (stream->input_size == 0) return kStatusNeedInput;
    uint64_t take = section->length;
    if (!short_input && section->received == 0) {
      section->next = stream->input_next;  // used in place
    } else {
      take = std::min(section->length - section->received, stream->input_size);
      if (int status = GrowSectionCopy(stream, section, section->received + take)) return status;
      std::memcpy(section->copy + section->received, stream->input_next, take);
    }
    section->received += take;
    stream->section_bytes_taken += take;
    Consume(stream, take);
  }
  if (section->received < section->length) return NeedInput(stream);
  if (section->length == 0) section->next = nullptr;
  section->end = section->next + section->length;
  section->received = 0;
  stream->decode_state = next;
  return 0;
}

// States 19 to 21, one a section, so that a call that runs out of input goes on with the section
// it stopped in.
int TakeSections(DecodeStream* s) {
  // The window header bounds the three lengths by the encoding length: their sum can't wrap.
  const uint64_t remaining =
      s->data.length + s->instructions.length + s->addresses.length - s->section_bytes_taken;
  const bool short_input = s->input_size < remaining;
  int status = 0;
  if (s->decode_state == kStateDataSection &&
      (status = TakeSection(s, &s->data, kStateInstructionsSection, short_input))) {
    return status;
  }
  if (s->decode_state == kStateInstructionsSection &&
      (status = TakeSection(s, &s->instructions, kStateAddressesSection, short_input))) {
    return status;
  }
  if ((status = TakeSection(s, &s->addresses, kStateExecute, short_input))) return status;
  return PrepareWindowBuffer(s);
}

// State 22.
int Execute(DecodeStream* stream) {
  if ((stream->window_indicator & kWindowSource) != 0) {
    DecodeSource* source = stream->source;
    if (source == nullptr) return Fail(stream, kStatusBadData, "source input required");
    source->copy_base_block = stream->copy_offset >> source->block_shift;
    source->copy_base_offset = stream->copy_offset & source->block_mask;
  }
  const int status = ExecuteWindow(stream);
  if (status == kStatusOutput) stream->output_total += stream->output_size;
  return status;
}

// Goes on to state `next`, which the same call runs at once.
int GoTo(DecodeStream* stream, DecodeState next) {
  stream->decode_state = next;
  return 0;
}

// Runs the current state: 0 once it has gone on to the next, else what the call returns.
int Advance(DecodeStream* s) {
  const bool code_table = (s->header_indicator & kHeaderCodeTable) != 0;
  const bool app_header = (s->header_indicator & kHeaderAppHeader) != 0;
  int status = 0;
  switch (s->decode_state) {
    case kStateMagic:
      if ((status = GatherBytes(s, s->magic, 4, &s->magic_filled))) return status;
      if (std::memcmp(s->magic, kMagic, 3) != 0) {
        return Fail(s, kStatusBadData, "not a VCDIFF input");
      }
      if (s->magic[3] != 0) {
        return Fail(s, kStatusBadData, "VCDIFF input version > 0 is not supported");
      }
      return GoTo(s, kStateHeaderIndicator);
    case kStateHeaderIndicator:
      if ((status = ReadByte(s, &s->header_indicator))) return status;
      if (s->header_indicator > 7) {
        return Fail(s, kStatusBadData, "unrecognized header indicator bits set");
      }
      return GoTo(s, kStateSecondaryId);
    case kStateSecondaryId:
      if ((s->header_indicator & kHeaderDecompress) == 0) return GoTo(s, kStateCodeTableLength);
      if ((status = ReadByte(s, &s->secondary_id))) return status;
      return CheckSecondaryId(s);
    case kStateCodeTableLength:
      if (code_table) {
        if ((status = ReadVarint(s, &s->code_table_length))) return status;
        if (s->code_table_length <= 2) {
          return Fail(s, kStatusOutOfMemory, "invalid code table size");
        }
        s->code_table_length -= 2;
      }
      return GoTo(s, kStateNearSize);
    case kStateNearSize:
      if (code_table && (status = ReadByte(s, &s->address_cache.near_size))) return status;
      return GoTo(s, kStateSameSize);
    case kStateSameSize:
      if (code_table && (status = ReadByte(s, &s->address_cache.same_size))) return status;
      return GoTo(s, kStateInstallCodeTable);
    case kStateInstallCodeTable:
      if (code_table) {
        return Fail(s, kStatusUnimplemented, "VCD_CODETABLE support was removed");
      }
      s->address_cache.near_size = kNearCacheSize;
      s->address_cache.same_size = kSameCacheSize;
      s->code_table = &DefaultCodeTable;
      if ((status = AllocateAddressCache(s))) return status;
      return GoTo(s, kStateAppHeaderLength);
    case kStateAppHeaderLength:
      if (app_header && (status = ReadVarint(s, &s->app_header_length))) return status;
      return GoTo(s, kStateAppHeader);
    case kStateAppHeader:
      if (app_header) {
        if (s->app_header_length > kMaxAppHeaderLength) {
          return Fail(s, kStatusBadData, "exceptional appheader size");
        }
        if (s->app_header == nullptr) {
          if ((status = GrowBuffer(s, &s->app_header, &s->app_header_capacity,
                                   s->app_header_length + 1))) {
            return status;
          }
          s->app_header[s->app_header_length] = 0;
        }
        if ((status = GatherBytes(s, s->app_header, s->app_header_length, &s->app_header_filled))) {
          return status;
        }
      }
      return GoTo(s, kStateWindowIndicator);
    case kStateWindowIndicator:
      if ((status = ReadByte(s, &s->window_indicator))) return status;
      if ((status = StartWindow(s))) return status;
      return GoTo(s, kStateCopyLength);
    case kStateCopyLength:
      if (HasSegment(s) && (status = ReadVarint(s, &s->copy_length))) return status;
      s->position = s->copy_length;
      return GoTo(s, kStateCopyOffset);
    case kStateCopyOffset:
      if (HasSegment(s) && (status = ReadVarint(s, &s->copy_offset))) return status;
      if ((status = CheckSourceSegment(s))) return status;
      return GoTo(s, kStateEncodingLength);
    case kStateEncodingLength:
      if ((status = ReadVarint(s, &s->encoding_length))) return status;
      return GoTo(s, kStateTargetLength);
    case kStateTargetLength:
      if ((status = ReadVarint(s, &s->target_length))) return status;
      if ((status = CheckTargetLength(s))) return status;
      return GoTo(s, kStateDeltaIndicator);
    case kStateDeltaIndicator:
      if ((status = ReadByte(s, &s->delta_indicator))) return status;
      if ((status = CheckDeltaIndicator(s))) return status;
      return GoTo(s, kStateDataLength);
    case kStateDataLength:
      if ((status = ReadSectionLength(s, &s->data.length, 0))) return status;
      return GoTo(s, kStateInstructionsLength);
    case kStateInstructionsLength:
      if ((status = ReadSectionLength(s, &s->instructions.length, s->data.length))) return status;
      return GoTo(s, kStateAddressesLength);
    case kStateAddressesLength:
      if ((status = ReadSectionLength(s, &s->addresses.length,
                                      s->data.length + s->instructions.length))) {
        return status;
      }
      return GoTo(s, kStateChecksum);
    case kStateChecksum:
      if ((s->window_indicator & kWindowChecksum) != 0) {
        if ((status = GatherBytes(s, s->checksum, 4, &s->checksum_filled))) return status;
        s->window_checksum = (uint32_t{s->checksum[0]} << 24) | (uint32_t{s->checksum[1]} << 16) |
                             (uint32_t{s->checksum[2]} << 8) | s->checksum[3];
      }
      if ((status = CheckEncodingLength(s))) return status;
      s->decode_state = kStateDataSection;
      return s->window_number == 0 ? kStatusGotHeader : kStatusWindowStart;
    case kStateDataSection:
    case kStateInstructionsSection:
    case kStateAddressesSection:
      // Each section goes on to the next, the last to kStateExecute.
      return TakeSections(s);
    case kStateExecute:
      // A finished window goes on to kStateFinish.
      return Execute(s);
    case kStateFinish:
      s->window_count += 1;
      s->decode_state = kStateWindowIndicator;
      return kStatusWindowDone;
    default:
      // The record is the caller's: a state it wrote is refused, not run.
      return Fail(s, kStatusBadData, "invalid state");
  }
}

// What asks the caller for something or reports progress; any other status ends the decoding.
bool IsRequestOrEvent(int status) {
  switch (status) {
    case kStatusNeedInput:
    case kStatusOutput:
    case kStatusNeedBlock:
    case kStatusGotHeader:
    case kStatusWindowStart:
    case kStatusWindowDone:
      return true;
    default:
      return false;
  }
}

}  // namespace

int DecodeInput(DecodeStream* stream) {
  // A failure sticks: the stream parses nothing after it, and every call reports it again. Going
  // on from a state that is already past the failed check would decode what isn't there.
  if (stream->failure_status != 0) {
    return Fail(stream, stream->failure_status, stream->failure_message);
  }
  for (;;) {
    const int status = Advance(stream);
    if (status == 0) continue;
    if (!IsRequestOrEvent(status)) {
      stream->failure_status = status;
      stream->failure_message = stream->message;
    }
    return status;
  }
}

}  // namespace tvl
