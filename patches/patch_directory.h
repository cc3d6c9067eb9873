// The patch directory: built-in VCDIFF streams looked up by patch name.
#pragma once

#include <cstdint>

namespace tvl {

// Finds the stream named exactly `name` (case-sensitive UTF-16, as FormatPatchName builds it).
// Returns 1 and stores the stream's first byte and length; or returns 0 and stores null and 0.
// Either output may be null and is then left alone. The bytes are constant program data that
// live for the whole run; nothing is copied. A name whose stream was absent at build time is a
// miss like any unknown name.
int FindPatch(const char16_t* name, const uint8_t** data, uint32_t* length);

}  // namespace tvl
