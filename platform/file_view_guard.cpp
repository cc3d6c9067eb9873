#include "platform/file_view_guard.h"

#include <atomic>
#include <mutex>

namespace tvl {
namespace {

// Views alive at once: one per source being patched from, and a few in tests.
constexpr int kSlotCount = 32;

// Everything the handler reads is a lock-free atomic or written before the handler exists.
struct Slot {
  std::atomic<bool> taken{false};
  std::atomic<uintptr_t> begin{0};  // 0 while the slot holds no view
  std::atomic<uintptr_t> end{0};
  std::atomic<bool> faulted{false};
  std::atomic<uint32_t> status{0};
};
static_assert(std::atomic<uintptr_t>::is_always_lock_free &&
              std::atomic<uint32_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

Slot ViewSlots[kSlotCount];
bool HandlerInstalled = false;
std::once_flag InstallOnce;

}  // namespace

int GuardView(const void* begin, size_t length) {
  std::call_once(InstallOnce, [] { HandlerInstalled = InstallViewFaultHandler(); });
  if (!HandlerInstalled || begin == nullptr || length == 0) return -1;
  for (int i = 0; i < kSlotCount; ++i) {
    Slot& slot = ViewSlots[i];
    bool expected = false;
    if (!slot.taken.compare_exchange_strong(expected, true)) continue;
    const uintptr_t start = reinterpret_cast<uintptr_t>(begin);
    slot.faulted.store(false, std::memory_order_relaxed);
    slot.end.store(start + length, std::memory_order_release);
    slot.begin.store(start, std::memory_order_release);
    return i;
  }
  return -1;
}

void UnguardView(int slot) {
  if (slot < 0 || slot >= kSlotCount) return;
  ViewSlots[slot].begin.store(0, std::memory_order_release);
  ViewSlots[slot].end.store(0, std::memory_order_release);
  ViewSlots[slot].taken.store(false, std::memory_order_release);
}

bool ViewFaulted(int slot, uint32_t* status) {
  if (slot < 0 || slot >= kSlotCount || !ViewSlots[slot].faulted.load(std::memory_order_acquire)) {
    return false;
  }
  if (status) *status = ViewSlots[slot].status.load(std::memory_order_relaxed);
  return true;
}

int FindGuardedView(uintptr_t address, uintptr_t* end) {
  for (int i = 0; i < kSlotCount; ++i) {
    const uintptr_t begin = ViewSlots[i].begin.load(std::memory_order_acquire);
    const uintptr_t last = ViewSlots[i].end.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= last) continue;
    *end = last;
    return i;
  }
  return -1;
}

void MarkViewFaulted(int slot, uint32_t status) {
  ViewSlots[slot].status.store(status, std::memory_order_relaxed);
  ViewSlots[slot].faulted.store(true, std::memory_order_release);
}

}  // namespace tvl
