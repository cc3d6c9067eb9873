// Helpers shared by the decoder's source files; not part of the public interface.
#pragma once

#include <cstdint>

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

// The secondary compressors a VCD_DECOMPRESS header may name by id, and a configuration may ask
// for by a bit of `flags`. The program holds none of them: each is refused with its text.
struct SecondaryCompressor {
  uint64_t id;
  uint32_t flag;
  const char* unavailable;
};
inline constexpr SecondaryCompressor kSecondaryCompressors[] = {
    {1, 0x20, "unavailable secondary compressor: DJW Static Huffman"},
    {2, 0x1000000, "unavailable secondary compressor: LZMA"},
    {16, 0x40, "unavailable secondary compressor: FGK Adaptive Huffman"},
};

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

}  // namespace tvl
