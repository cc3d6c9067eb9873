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

Slot g_slots[kSlotCount];
bool g_installed = false;
std::once_flag g_install_once;

}  // namespace

int GuardView(const void* begin, size_t length) {
  std::call_once(g_install_once, [] { g_installed = InstallViewFaultHandler(); });
  if (!g_installed || begin == nullptr || length == 0) return -1;
  for (int i = 0; i < kSlotCount; ++i) {
    Slot& slot = g_slots[i];
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
  g_slots[slot].begin.store(0, std::memory_order_release);
  g_slots[slot].end.store(0, std::memory_order_release);
  g_slots[slot].taken.store(false, std::memory_order_release);
}

bool ViewFaulted(int slot, uint32_t* status) {
  if (slot < 0 || slot >= kSlotCount || !g_slots[slot].faulted.load(std::memory_order_acquire)) {
    return false;
  }
  if (status) *status = g_slots[slot].status.load(std::memory_order_relaxed);
  return true;
}

int FindGuardedView(uintptr_t address, uintptr_t* end) {
  for (int i = 0; i < kSlotCount; ++i) {
    const uintptr_t begin = g_slots[i].begin.load(std::memory_order_acquire);
    const uintptr_t last = g_slots[i].end.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= last) continue;
    *end = last;
    return i;
  }
  return -1;
}

void MarkViewFaulted(int slot, uint32_t status) {
  g_slots[slot].status.store(status, std::memory_order_relaxed);
  g_slots[slot].faulted.store(true, std::memory_order_release);
}

}  // namespace tvl
