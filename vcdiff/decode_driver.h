// The one loop that runs the decoder. Every decode goes through it: the programs' patch runs
// (DecodeToFile), and DecodeInMemory for the encoder's round trip, the tests and the benchmark;
// so the fuzzer, which drives both, exercises the loop the programs run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "vcdiff/decoder.h"

namespace tvl {

// A piece of the patch to feed. It must stay unchanged until the decoder asks for the next one.
struct DecodePiece {
  const uint8_t* data = nullptr;
  size_t size = 0;
  bool last = false;  // the patch ends with this piece
};

// What the loop asks of its caller. A callback that returns false stops the run; the caller
// keeps the reason.
struct DecodeDriver {
  // The next piece of the patch.
  std::function<bool(DecodePiece* piece)> next_piece;
  // Loads `block` into the source attached to the stream. Empty: no source is attached, and a
  // request for a block is the decoder's fault.
  std::function<bool(uint64_t block)> load_block;
  // Takes the finished window at output_data; it may also take the buffer away
  // (ExchangeWindowBuffer), and must leave output_size 0.
  std::function<bool(DecodeStream* stream)> take_window;
  // Runs one DecodeInput, for a caller that must guard it; empty: DecodeInput itself.
  std::function<bool(DecodeStream* stream, int* status)> step;
  // Told every status DecodeInput returns, for tests that follow the protocol; may be empty.
  std::function<void(int status)> observe;
};

enum class DriveEnd {
  kDone,          // decoded to the patch's end, and the stream closed cleanly
  kDecodeFailed,  // the decoder refused the patch or the source: the stream's message says why
  kCloseFailed,   // the patch ended inside its header or a window
  kProtocol,      // the decoder broke its protocol: a block with no source, a window of another
                  // length than its header said, or its output miscounted
  kStopped,       // a callback returned false
};

// Feeds the patch piece by piece to the configured stream, answering its requests, then closes
// it. For kDecodeFailed and kCloseFailed `*status` gets the decoder's status.
DriveEnd DriveDecoder(DecodeStream* stream, const DecodeDriver& driver, int* status = nullptr);

}  // namespace tvl
