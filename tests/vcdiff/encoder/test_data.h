// Inputs for the encoder tests: WAD-shaped files with typical edits between two releases (lumps
// moved, replaced, inserted, dropped, patched in place; a new directory), and random bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/test_files.h"  // RandomBytes

namespace tvl::testing {

using Bytes = std::vector<uint8_t>;

// A WAD of `lumps` lumps of mixed kinds (noise like graphics, fixed-size map records, text,
// flats with few colours, zero padding), deterministic in `seed`.
Bytes MakeWad(uint32_t seed, int lumps);

// The same WAD rebuilt as another release would be: the lump list edited, some lumps changed
// in place, and everything laid out again behind a new directory.
Bytes EditWad(const Bytes& wad, uint32_t seed);

}  // namespace tvl::testing
