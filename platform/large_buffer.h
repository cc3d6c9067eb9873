// Memory for buffers of megabytes that are filled whole, time after time (the decoder's target
// window). Where the system offers huge pages they are asked for, so that filling such a buffer
// the first time takes one page fault per 2 MiB instead of one per 4 KiB.
#pragma once

#include <cstddef>

namespace tvl {

// At least `size` bytes (one for 0), or null when there is no memory.
void* AllocateLargeBuffer(size_t size);
// Frees what AllocateLargeBuffer gave; null is ignored.
void FreeLargeBuffer(void* buffer);

}  // namespace tvl
