// CRC-32 (the zip and gzip one: reflected polynomial 0xEDB88320), for checking unpacked entries.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvl {

// The CRC-32 of `crc`'s data followed by these `size` bytes; start with 0. zlib's natively; in
// the browser, where zlib is not built in, a table of our own.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace tvl
