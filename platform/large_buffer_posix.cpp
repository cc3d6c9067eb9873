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
  // No system has half the address space to give; refused here rather than asked for.
  if (size > SIZE_MAX / 2) return nullptr;
  // Huge pages need whole, aligned 2 MiB pieces. Only those within the size are asked for: a
  // huge page past its end would count 2 MiB of memory for a few bytes of buffer.
  void* buffer = nullptr;
  if (::posix_memalign(&buffer, kHugePageSize, size) != 0) return nullptr;
#ifdef MADV_HUGEPAGE
  // Only advice: without huge pages the buffer simply gets small ones.
  ::madvise(buffer, size / kHugePageSize * kHugePageSize, MADV_HUGEPAGE);
#endif
  return buffer;
}

void FreeLargeBuffer(void* buffer) { std::free(buffer); }

}  // namespace tvl
