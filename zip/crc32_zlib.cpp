#include <zlib.h>

#include <algorithm>
#include <climits>

#include "zip/crc32.h"

namespace tvl {

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
  // zlib takes a uInt count: feed a larger buffer in parts.
  while (size > 0) {
    const size_t part = std::min<size_t>(size, UINT_MAX);
    crc = static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(part)));
    data += part;
    size -= part;
  }
  return crc;
}

}  // namespace tvl
