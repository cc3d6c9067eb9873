#include <sys/mman.h>
#include <cstdint>
#include <cstdlib>

#include "platform/large_buffer.h"

namespace tvl {
namespace {

constexpr size_t kHugePageSize = size_t{2} << 20;

}  // namespace

void* AllocateLargeBuffer(size_t size) {
  if (size < kHugePageSize) return std::malloc(size == 0 ? 1 : size);
  if (size > SIZE_MAX - (kHugePageSize - 1)) return nullptr;
  // Huge pages need whole, aligned 2 MiB pieces.
  const size_t rounded = (size + kHugePageSize - 1) / kHugePageSize * kHugePageSize;
  void* buffer = std::aligned_alloc(kHugePageSize, rounded);
#ifdef MADV_HUGEPAGE
  // Only advice: without huge pages the buffer simply gets small ones.
  if (buffer != nullptr) ::madvise(buffer, rounded, MADV_HUGEPAGE);
#endif
  return buffer;
}

void FreeLargeBuffer(void* buffer) { std::free(buffer); }

}  // namespace tvl
