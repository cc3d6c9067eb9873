// The stream record's life: configuration, source, block requests, close and free.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "vcdiff/decoder.h"
#include "vcdiff/decoder_internal.h"

namespace tvl {
namespace {

// The bits of `flags` that choose a secondary compressor, and its per-section options.
constexpr uint32_t kFlagSecondaryTypes = [] {
  uint32_t bits = 0;
  for (const SecondaryCompressor& compressor : kSecondaryCompressors) bits |= compressor.flag;
  return bits;
}();
constexpr uint32_t kFlagSecondarySections = 0x380;
// Compression level in bits 20 to 23, which may pick the default string matcher.
constexpr int kFlagLevelShift = 20;

constexpr uint32_t kMatcherSoft = 5;  // caller-supplied matcher parameters
constexpr const char* kMatcherNames[] = {"default", "slow", "fast", "faster", "fastest", "soft"};

void* HeapAlloc(void* /*opaque*/, size_t count, size_t size) {
  if (size != 0 && count > std::numeric_limits<size_t>::max() / size) return nullptr;
  return std::malloc(count * size);
}

void HeapRelease(void* /*opaque*/, void* pointer) { std::free(pointer); }

// Success and the exponent when `value` is a power of two, else kStatusFailed. Doubles 1 until
// it meets the value or overflows to 0.
int PowerOfTwoExponent(uint64_t value, uint64_t* exponent) {
  uint64_t power = 1;
  for (uint64_t bits = 0; power != 0; ++bits, power <<= 1) {
    if (power == value) {
      *exponent = bits;
      return 0;
    }
  }
  return kStatusFailed;
}

uint64_t JoinWords(const uint32_t* words) { return words[0] | (uint64_t{words[1]} << 32); }

int ConfigureStringMatcher(DecodeStream* stream, const DecodeConfig& config) {
  uint32_t choice = config.string_match;
  if (choice > kMatcherSoft) return Fail(stream, kStatusFailed, "invalid string match config type");
  if (choice == 0) {
    const uint32_t level = (stream->flags >> kFlagLevelShift) & 0xF;
    if (level >= 1 && level <= 2) choice = 4;
    if (level >= 3 && level <= 5) choice = 2;
    if (level >= 7) choice = 1;
  }
  stream->string_match = choice;
  stream->matcher_name = kMatcherNames[choice];
  if (choice != kMatcherSoft) return 0;
  // Words 0 and 1 hold the matcher's name and function; the limits follow as 64-bit values.
  for (int i = 2; i < 16; ++i) stream->matcher_params[i] = config.matcher_params[i];
  const bool valid = JoinWords(&config.matcher_params[2]) >= 4 &&
                     JoinWords(&config.matcher_params[4]) != 0 &&
                     JoinWords(&config.matcher_params[6]) >= 4;
  if (!valid) return Fail(stream, kStatusInvalidConfig, "invalid soft string-match config");
  return 0;
}

int CheckSecondaryFlags(DecodeStream* stream) {
  const uint32_t types = stream->flags & kFlagSecondaryTypes;
  if (types != 0) {
    for (const SecondaryCompressor& compressor : kSecondaryCompressors) {
      if (compressor.flag == types) return Fail(stream, kStatusFailed, compressor.unavailable);
    }
    return Fail(stream, kStatusFailed, "too many secondary compressor types set");
  }
  if ((stream->flags & kFlagSecondarySections) != 0) {
    return Fail(stream, kStatusFailed,
                "secondary compressor flags require a secondary compressor type");
  }
  return 0;
}

}  // namespace

void* AllocateBytes(DecodeStream* stream, uint64_t size) {
  if (size > std::numeric_limits<size_t>::max()) return nullptr;
  return stream->alloc(stream->alloc_opaque, static_cast<size_t>(size), 1);
}

void ReleaseBytes(DecodeStream* stream, void* pointer) {
  if (pointer != nullptr) stream->release(stream->alloc_opaque, pointer);
}

int GrowBuffer(DecodeStream* stream, uint8_t** buffer, uint64_t* capacity, uint64_t needed) {
  if (*buffer != nullptr && *capacity >= needed) return 0;
  ReleaseBytes(stream, *buffer);
  *buffer = nullptr;
  *capacity = 0;
  return GrowBufferKeeping(stream, buffer, capacity, needed, 0);
}

int GrowBufferKeeping(DecodeStream* stream, uint8_t** buffer, uint64_t* capacity, uint64_t needed,
                      uint64_t keep) {
  if (*buffer != nullptr && *capacity >= needed) return 0;
  // No need comes near 2^64: the application header, a window and its sections are all bounded
  // as their lengths are read.
  const uint64_t rounded = (needed + kBufferGrowthStep - 1) / kBufferGrowthStep * kBufferGrowthStep;
  auto* grown = static_cast<uint8_t*>(AllocateBytes(stream, rounded));
  if (grown == nullptr) return Fail(stream, kStatusOutOfMemory, "out of memory");
  if (*buffer != nullptr) {
    const uint64_t kept = std::min(keep, *capacity);
    if (kept > 0) std::memcpy(grown, *buffer, kept);
    ReleaseBytes(stream, *buffer);
  }
  *buffer = grown;
  *capacity = rounded;
  return 0;
}

int ConfigureDecodeStream(DecodeStream* stream, const DecodeConfig* config) {
  const DecodeConfig defaults;
  if (config == nullptr) config = &defaults;
  *stream = DecodeStream{};

  stream->window_size = config->window_size != 0 ? config->window_size : kDefaultWindowSize;
  stream->sprevsz = config->sprevsz != 0 ? config->sprevsz : kDefaultSprevsz;
  stream->instruction_count = config->instruction_count;
  if (stream->instruction_count == 0) {
    stream->instruction_count = kDefaultInstructionCount;
    stream->instruction_count_defaulted = 1;
  }
  stream->getblk = config->getblk;
  stream->alloc = config->alloc != nullptr ? config->alloc : HeapAlloc;
  stream->release = config->release != nullptr ? config->release : HeapRelease;
  stream->alloc_opaque = config->alloc_opaque;
  stream->flags = config->flags;
  for (uint32_t section = 0; section < 3; ++section) {
    for (int word = 0; word < 8; ++word) {
      stream->secondary_settings[section][word] = config->secondary_settings[section][word];
    }
    stream->secondary_settings[section][0] = section;
  }

  if (int status = CheckSecondaryFlags(stream)) return status;
  stream->code_table = &DefaultCodeTable;
  uint64_t exponent = 0;
  if (PowerOfTwoExponent(stream->sprevsz, &exponent) != 0) {
    return Fail(stream, kStatusFailed, "sprevsz is required to be a power of two");
  }
  stream->sprevsz_mask = stream->sprevsz - 1;
  return ConfigureStringMatcher(stream, *config);
}

int SetDecodeSource(DecodeStream* stream, DecodeSource* source) {
  stream->source = source;
  uint64_t size = 1;
  // The largest power of two a 64-bit size holds caps a nonsensical block size.
  while (size < source->block_size && size < (uint64_t{1} << 63)) size <<= 1;
  source->block_size = size;
  PowerOfTwoExponent(size, &source->block_shift);
  source->block_mask = size - 1;
  return 0;
}

int GetSourceBlock(DecodeStream* stream, uint64_t block_number) {
  DecodeSource* source = stream->source;
  if (source == nullptr) return Fail(stream, kStatusBadData, "source input required");
  if (source->block_data != nullptr && source->block_number == block_number) return 0;
  source->requested_block = block_number;
  if (stream->getblk == nullptr) return Fail(stream, kStatusNeedBlock, "getblk source input");
  if (int status = stream->getblk(stream, source, block_number)) return status;
  // A fetch function that reports success without the block in place is asked again.
  if (source->block_data == nullptr || source->block_number != block_number) {
    return Fail(stream, kStatusNeedBlock, "getblk source input");
  }
  return 0;
}

void ExchangeWindowBuffer(DecodeStream* stream, uint8_t** buffer, uint64_t* capacity) {
  std::swap(stream->window_buffer, *buffer);
  std::swap(stream->output_capacity, *capacity);
  stream->output_data = stream->window_buffer;
  stream->output_size = 0;
}

int CloseDecodeStream(DecodeStream* stream) {
  // Only between windows is a patch whole. One that never began (an empty file) is no patch:
  // taken for one, it would "convert" to an empty output.
  if (stream->decode_state == kStateWindowIndicator) return 0;
  return Fail(stream, kStatusBadData, "eof in decode");
}

void FreeDecodeStream(DecodeStream* stream) {
  if (stream->release != nullptr) {
    ReleaseBytes(stream, stream->window_buffer);
    ReleaseBytes(stream, stream->app_header);
    ReleaseBytes(stream, stream->address_cache.near_slots);
    ReleaseBytes(stream, stream->address_cache.same_slots);
    ReleaseBytes(stream, stream->data.copy);
    ReleaseBytes(stream, stream->instructions.copy);
    ReleaseBytes(stream, stream->addresses.copy);
  }
  *stream = DecodeStream{};
}

}  // namespace tvl
