#include <cstdlib>

#include "platform/large_buffer.h"

namespace tvl {

// Large pages on Windows need a privilege that users don't hold; the heap serves these from
// whole reserved regions anyway.
void* AllocateLargeBuffer(size_t size) { return std::malloc(size == 0 ? 1 : size); }

void FreeLargeBuffer(void* buffer) { std::free(buffer); }

}  // namespace tvl
