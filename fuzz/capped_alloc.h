// The decoder's allocator for the decode fuzz targets: nothing a stream declares may make the
// decoder ask for more than its largest window. Section copies grow with the bytes delivered and
// the application header is bounded far below that; a larger request is a finding.
#pragma once

#include <cstddef>
#include <cstdlib>

#include "vcdiff/decoder.h"

namespace tvl::fuzz {

inline void* CappedAlloc(void*, size_t count, size_t size) {
  if (size != 0 && count > kMaxTargetWindow / size) std::abort();
  return std::malloc(count * size);
}

inline void CappedRelease(void*, void* pointer) { std::free(pointer); }

// A configuration that allocates through the two above.
inline DecodeConfig CappedConfig() {
  DecodeConfig config;
  config.alloc = CappedAlloc;
  config.release = CappedRelease;
  return config;
}

}  // namespace tvl::fuzz
