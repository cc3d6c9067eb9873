// Adler-32 checksum (RFC 1950 section 8.2), as carried per target window.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvl {

// RFC 1950: "BASE is the largest prime number smaller than 65536".
inline constexpr uint32_t kAdler32Base = 65521;

// Bytes that may be summed before s1 and s2 must be reduced. Starting from s1, s2 <= BASE - 1,
// after n bytes of value 255: s1 <= (BASE - 1) + 255n and
// s2 <= (n + 1)(BASE - 1) + 255n(n + 1)/2. The largest n keeping s2 below 2^32 is 5552
// (5552: 4,294,690,200; 5553: 4,296,171,735).
inline constexpr size_t kAdler32MaxDeferred = 5552;

// Start value of a checksum: s1 = 1, s2 = 0.
inline constexpr uint32_t kAdler32Initial = 1;

// Continues the checksum `adler` over `size` bytes; Adler32(1, data, n) checks a whole run.
// Picks the fastest implementation this CPU runs.
uint32_t Adler32(uint32_t adler, const uint8_t* data, size_t size);

// The portable implementation, always available (tests compare the fast paths against it).
uint32_t Adler32Portable(uint32_t adler, const uint8_t* data, size_t size);

}  // namespace tvl
