// Inputs for the encoder tests: WAD-shaped files with typical edits between two releases (lumps
// moved, replaced, inserted, dropped, patched in place; a new directory), and random bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "vcdiff/encoder/encoder.h"

#include "tests/test_files.h"  // RandomBytes

namespace tvl::testing {

using Bytes = std::vector<uint8_t>;

// A WAD of `lumps` lumps of mixed kinds (noise like graphics, fixed-size map records, text,
// flats with few colours, zero padding), deterministic in `seed`.
Bytes MakeWad(uint32_t seed, int lumps);

// The same WAD rebuilt as another release would be: the lump list edited, some lumps changed
// in place, and everything laid out again behind a new directory.
Bytes EditWad(const Bytes& wad, uint32_t seed);

// Hands `bytes` to the encoder at most `piece` bytes per call, as a file or a pipe might, and
// fails the call that would pass `fail_at`.
struct PiecewiseTarget {
  std::span<const uint8_t> rest;
  uint64_t piece = 1;
  uint64_t fail_at = std::numeric_limits<uint64_t>::max();
  uint64_t given = 0;

  TargetReader reader() { return {Read, this}; }
  static int64_t Read(void* opaque, uint8_t* buffer, uint64_t size);
};

}  // namespace tvl::testing
