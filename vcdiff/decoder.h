// Streaming VCDIFF (RFC 3284) decoder.
//
// The caller owns a DecodeStream and a DecodeSource, feeds the patch in pieces of any size and
// answers the decoder's requests:
//
//   DecodeStream stream{};
//   ConfigureDecodeStream(&stream, &config);     // config may be null
//   SetDecodeSource(&stream, &source);           // block 0 may already be loaded
//   for each piece of the patch:
//     stream.input_next = piece; stream.input_size = piece_size;
//     for (;;) {
//       int status = DecodeInput(&stream);
//       kStatusNeedInput  -> next piece (or stop at the end of the patch)
//       kStatusNeedBlock  -> load source.requested_block into block_data, set block_bytes and
//                            block_number, call again
//       kStatusOutput     -> take output_size bytes at output_data, set output_size = 0, call again
//       kStatusGotHeader, kStatusWindowStart, kStatusWindowDone -> call again
//       anything else     -> failure; stream.message says why, and every later call gives
//                            the same failure again without reading further
//     }
//   CloseDecodeStream(&stream);                  // fails unless the patch ended between windows
//   FreeDecodeStream(&stream);
//
// Bytes given as input must stay unchanged until DecodeInput next returns kStatusNeedInput: a
// window's sections are read where they lie when the rest of the window is in the current piece.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vcdiff/address_cache.h"
#include "vcdiff/code_table.h"
#include "vcdiff/window_queue.h"

namespace tvl {

// Status codes. Every decoder operation returns 0, one of these, or kStatusOutOfMemory.
inline constexpr int kStatusNeedInput = -17703;      // input consumed; supply more or stop
inline constexpr int kStatusOutput = -17704;         // a target window waits in output_data
inline constexpr int kStatusNeedBlock = -17705;      // load source block requested_block
inline constexpr int kStatusGotHeader = -17706;      // the first window's header has been read
inline constexpr int kStatusWindowStart = -17707;    // a later window's header has been read
inline constexpr int kStatusWindowDone = -17708;     // the taken window is finished
inline constexpr int kStatusNotSeekable = -17709;    // from getblk only: block can't be re-read
inline constexpr int kStatusFailed = -17710;         // refused feature, configuration or overflow
inline constexpr int kStatusInvalidConfig = -17711;  // invalid matcher parameters
inline constexpr int kStatusBadData = -17712;        // malformed patch, or source doesn't fit it
inline constexpr int kStatusUnimplemented = -17714;  // unsupported format feature
inline constexpr int kStatusOutOfMemory = 12;        // an allocation through alloc failed

// Header indicator bits (RFC 3284 section 4.1, plus our application-header extension).
inline constexpr uint64_t kHeaderDecompress = 0x01;  // VCD_DECOMPRESS
inline constexpr uint64_t kHeaderCodeTable = 0x02;   // VCD_CODETABLE
inline constexpr uint64_t kHeaderAppHeader = 0x04;   // an application header follows
// Window indicator bits (RFC 3284 section 4.2, plus the per-window Adler-32 extension).
inline constexpr uint64_t kWindowSource = 0x01;    // VCD_SOURCE
inline constexpr uint64_t kWindowTarget = 0x02;    // VCD_TARGET
inline constexpr uint64_t kWindowChecksum = 0x04;  // 4-byte Adler-32 of the target window
// Delta indicator bits (RFC 3284 section 4.3); none is supported.
inline constexpr uint64_t kDeltaDataCompressed = 0x01;          // VCD_DATACOMP
inline constexpr uint64_t kDeltaInstructionsCompressed = 0x02;  // VCD_INSTCOMP
inline constexpr uint64_t kDeltaAddressesCompressed = 0x04;     // VCD_ADDRCOMP

// Largest target window accepted: 64 MiB.
inline constexpr uint64_t kMaxTargetWindow = 67108864;
// Longest application header accepted. The header names files; 1 MiB is far beyond any real one
// and keeps a file header from claiming memory for bytes it will never deliver.
inline constexpr uint64_t kMaxAppHeaderLength = 1048576;
// Defaults that a zero configuration field selects.
inline constexpr uint64_t kDefaultWindowSize = 8388608;
inline constexpr uint64_t kDefaultSprevsz = 262144;
inline constexpr uint64_t kDefaultInstructionCount = 409;

// Where DecodeInput stands. The values are fixed; states 0 to 8 run once per stream, 9 to 23 once
// per window. Every value needed to resume lives in the stream, never in a local.
enum DecodeState : int {
  kStateMagic = 0,                 // gathering the 4 magic/version bytes
  kStateHeaderIndicator = 1,       // waiting for the header indicator byte
  kStateSecondaryId = 2,           // VCD_DECOMPRESS: waiting for the secondary compressor id
  kStateCodeTableLength = 3,       // VCD_CODETABLE: reading the code table length
  kStateNearSize = 4,              // VCD_CODETABLE: waiting for the near cache size byte
  kStateSameSize = 5,              // VCD_CODETABLE: waiting for the same cache size byte
  kStateInstallCodeTable = 6,      // installing the default code table and address cache
  kStateAppHeaderLength = 7,       // reading the application header length
  kStateAppHeader = 8,             // gathering the application header bytes
  kStateWindowIndicator = 9,       // between windows: waiting for a window indicator
  kStateCopyLength = 10,           // reading the source segment length
  kStateCopyOffset = 11,           // reading the source segment position
  kStateEncodingLength = 12,       // reading the length of the delta encoding
  kStateTargetLength = 13,         // reading the target window length
  kStateDeltaIndicator = 14,       // waiting for the delta indicator byte
  kStateDataLength = 15,           // reading the data section length
  kStateInstructionsLength = 16,   // reading the instructions section length
  kStateAddressesLength = 17,      // reading the addresses section length
  kStateChecksum = 18,             // gathering the 4 Adler-32 bytes, then the header event
  kStateDataSection = 19,          // taking in the data section
  kStateInstructionsSection = 20,  // taking in the instructions section
  kStateAddressesSection = 21,     // taking in the addresses section
  kStateExecute = 22,              // executing the window's instructions
  kStateFinish = 23,               // output handed over; finishing the window
};

struct DecodeStream;
struct DecodeSource;

// Block-fetch function: loads block `block_number` into `source` or returns a status.
using GetBlockFunction = int (*)(DecodeStream* stream, DecodeSource* source, uint64_t block_number);
// Allocates count * size bytes, or returns null.
using AllocFunction = void* (*)(void* opaque, size_t count, size_t size);
// Releases what the matching AllocFunction returned.
using ReleaseFunction = void (*)(void* opaque, void* pointer);

// The source file as a row of blocks of a power-of-two size; the caller holds one at a time.
// Zero it before use and keep it alive until the stream is freed.
struct DecodeSource {
  uint64_t block_size = 0;              // bytes per block; raised to a power of two on attach
  uint64_t block_number = 0;            // block now held in block_data
  uint64_t block_bytes = 0;             // valid bytes in block_data (less for a short last block)
  const uint8_t* block_data = nullptr;  // the caller's block buffer; null until one is loaded
  uint64_t block_shift = 0;             // log2(block_size), set by SetDecodeSource
  uint64_t block_mask = 0;              // block_size - 1, set by SetDecodeSource
  uint64_t copy_base_block = 0;         // current window's source segment start: block ...
  uint64_t copy_base_offset = 0;        // ... and offset within it
  uint64_t requested_block = 0;         // the block asked for with kStatusNeedBlock
};

// Configuration; all zero unless set, and zero selects the default.
struct DecodeConfig {
  uint64_t window_size = 0;                // default 8 MiB; no decoding step reads it
  uint64_t sprevsz = 0;                    // default 262144; must be a power of two (encoding half)
  uint64_t instruction_count = 0;          // default 409 (encoding half)
  GetBlockFunction getblk = nullptr;       // none: the decoder asks through kStatusNeedBlock
  AllocFunction alloc = nullptr;           // default: heap
  ReleaseFunction release = nullptr;       // default: heap
  void* alloc_opaque = nullptr;            // passed to alloc and release
  uint32_t flags = 0;                      // option bits; secondary compressor bits are refused
  uint32_t secondary_settings[3][8] = {};  // per-section secondary compressor (encoding half)
  uint32_t string_match = 0;               // string matcher choice 0 to 5 (encoding half)
  uint32_t matcher_params[16] = {};        // parameters of choice 5 (encoding half)
};

// One section of the current window, read in place from the input or from `copy`.
struct SectionCursor {
  const uint8_t* next = nullptr;  // next unread byte
  const uint8_t* end = nullptr;   // one past the last byte
  uint64_t length = 0;            // length from the window header
  uint64_t received = 0;          // bytes taken in so far; 0 again once complete
  uint8_t* copy = nullptr;        // owned; holds the section when it can't be used in place
  uint64_t copy_capacity = 0;     // size of copy
};

// The decoder's stream record. Zeroed by configuration and by freeing. Every field keeps what the
// next call needs: a call may stop at any byte of the input and the next one goes on from there.
struct DecodeStream {
  // Input, output and protocol fields.
  const uint8_t* input_next =
      nullptr;                        // next patch byte to read; the caller sets it with input_size
  uint64_t input_size = 0;            // bytes available at input_next
  uint64_t input_total = 0;           // patch bytes consumed since configuration
  uint8_t* output_data = nullptr;     // where the window is built and, after kStatusOutput, taken
  uint64_t output_size = 0;           // bytes of the window at output_data; the caller sets 0
  uint64_t output_capacity = 0;       // size of window_buffer
  uint64_t window_number = 0;         // windows begun before the current one, 0 for the first
  uint64_t output_total = 0;          // target bytes handed over in windows
  const char* message = nullptr;      // static text of the last failure or request
  DecodeSource* source = nullptr;     // attached source, not owned; null until SetDecodeSource
  uint64_t window_size = 0;           // configured window size; no decoding step reads it
  uint64_t sprevsz = 0;               // configured, a power of two; only encoding reads it
  uint64_t sprevsz_mask = 0;          // sprevsz - 1
  GetBlockFunction getblk = nullptr;  // block-fetch function; null: ask with kStatusNeedBlock
  AllocFunction alloc = nullptr;      // allocates every buffer the stream owns
  ReleaseFunction release = nullptr;  // releases what alloc gave
  void* alloc_opaque = nullptr;       // first argument of alloc and release
  uint32_t flags = 0;                 // configured option bits; no decoding step reads them

  // Encoding half: configured and checked, never used by decoding.
  uint64_t instruction_count = 0;            // instruction-count setting, default 409
  uint32_t instruction_count_defaulted = 0;  // 1 when instruction_count took the default
  uint32_t secondary_settings[3][8] = {};    // per-section secondary compressor, word 0 its tag
  uint32_t string_match = 0;                 // string matcher choice 0 to 5
  const char* matcher_name = nullptr;        // that matcher's name
  uint32_t matcher_params[16] = {};          // choice 5's parameters from word 2 on

  // Decoding state (the input state machine).
  int decode_state = kStateMagic;  // a DecodeState: the field or step the next call goes on with
  // 0, or the failure that ended decoding: every later call gives it again, with its text.
  int failure_status = 0;
  const char* failure_message = nullptr;
  uint64_t header_indicator = 0;      // the file header's indicator byte
  uint64_t window_indicator = 0;      // the current window's indicator byte
  uint64_t delta_indicator = 0;       // the current window's delta indicator byte
  uint8_t magic[4] = {};              // the file's first four bytes, as far as gathered
  uint64_t magic_filled = 0;          // how many of them are in
  uint64_t secondary_id = 0;          // the secondary compressor id a VCD_DECOMPRESS header names
  uint64_t code_table_length = 0;     // a VCD_CODETABLE header's table length, less 2
  uint64_t app_header_length = 0;     // the application header's length
  uint8_t* app_header = nullptr;      // owned; app_header_length + 1 bytes, the last one 0
  uint64_t app_header_capacity = 0;   // size of app_header
  uint64_t app_header_filled = 0;     // application header bytes gathered so far
  uint64_t varint_accumulator = 0;    // value so far of an integer whose bytes span calls
  uint64_t copy_length = 0;           // the current window's source segment length
  uint64_t copy_offset = 0;           // the current window's source segment position
  uint64_t encoding_length = 0;       // the current window's delta encoding length, as stated
  uint64_t target_length = 0;         // the current (before state 9: the last) window's length
  uint8_t checksum[4] = {};           // the window's Adler-32 bytes, as far as gathered
  uint64_t checksum_filled = 0;       // how many of them are in
  uint32_t window_checksum = 0;       // the window's stored Adler-32, once all four are in
  uint64_t window_target_offset = 0;  // position in the target of the current window's first byte
  uint64_t window_count = 0;          // windows finished
  uint64_t section_bytes_taken = 0;   // bytes of the current window's sections taken in so far
  uint64_t position = 0;              // address of the next target byte, as far as parsed
  uint64_t position_limit = 0;        // copy_length + target_length: one past the window's end
  SectionCursor data;                 // the current window's data section
  SectionCursor instructions;         // its instructions section
  SectionCursor addresses;            // its addresses section

  // Window execution.
  const CodeTable* code_table = nullptr;  // always DefaultCodeTable
  AddressCache address_cache;             // COPY addresses of the current window so far
  WindowQueue queue;                      // halves parsed ahead, for window_execute.cpp alone
  uint8_t* window_buffer = nullptr;       // owned; output_capacity bytes, reused by every window
};

// Zeroes the stream and configures it. `config` may be null (all defaults).
// Returns 0, kStatusFailed or kStatusInvalidConfig.
int ConfigureDecodeStream(DecodeStream* stream, const DecodeConfig* config);

// Attaches the source after configuration and before decoding; normalises block_size to a power
// of two and sets block_shift and block_mask. Returns 0.
int SetDecodeSource(DecodeStream* stream, DecodeSource* source);

// Advances the decoding over the given input. Never returns 0. Once it has failed, it returns
// that failure, with its message, on every later call.
int DecodeInput(DecodeStream* stream);

// Makes source block `block_number` available: 0 when it is in place, otherwise kStatusNeedBlock
// (or getblk's failure). Used by window execution.
int GetSourceBlock(DecodeStream* stream, uint64_t block_number);

// After kStatusOutput, instead of setting output_size to 0: takes the buffer holding the output
// into `*buffer` and `*capacity`, and gives the decoder the one that was there to fill next (null
// and 0 for none: it allocates one when it needs one). Both come from the stream's allocator,
// and whoever holds one at the end releases it through that. A caller that writes one window
// while the next decodes keeps two buffers this way.
void ExchangeWindowBuffer(DecodeStream* stream, uint8_t** buffer, uint64_t* capacity);

// Checks that decoding stopped at a clean point: after the file header, between windows. A
// stream that never began (no byte of a header) did not. Returns 0, kStatusFailed or
// kStatusBadData.
int CloseDecodeStream(DecodeStream* stream);

// Releases every buffer the stream allocated and zeroes it. Safe on a zeroed stream.
void FreeDecodeStream(DecodeStream* stream);

}  // namespace tvl
