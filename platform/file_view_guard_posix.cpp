#include "platform/file_view_guard_posix.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdint>
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
};
static_assert(std::atomic<uintptr_t>::is_always_lock_free &&
              std::atomic<bool>::is_always_lock_free);

Slot g_slots[kSlotCount];
uintptr_t g_page_size = 4096;
struct sigaction g_previous = {};
bool g_installed = false;
std::once_flag g_install_once;

// A fault that isn't ours goes where it would have gone without us.
void PassOn(int signal, siginfo_t* info, void* context) {
  if ((g_previous.sa_flags & SA_SIGINFO) != 0) {
    if (g_previous.sa_sigaction != nullptr) g_previous.sa_sigaction(signal, info, context);
    return;
  }
  if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(signal);
    return;
  }
  // Back to the default action: the faulting access runs again on return, faults again and ends
  // the process as it would have. A signal sent with kill has no access to repeat.
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  if (info->si_code <= 0) raise(signal);
}

// Only async-signal-safe work here: atomics, mmap and errno.
void OnBusError(int signal, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  const uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
  for (Slot& slot : g_slots) {
    const uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    const uintptr_t end = slot.end.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= end) continue;
    // Zeros from the faulting page to the end of the view: one fault ends the reading of a file
    // that was cut short, rather than one per page still to come.
    const uintptr_t page = address & ~(g_page_size - 1);
    void* zeros = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros == MAP_FAILED) break;
    slot.faulted.store(true, std::memory_order_release);
    errno = saved_errno;
    return;
  }
  errno = saved_errno;
  PassOn(signal, info, context);
}

void Install() {
  const long page_size = ::sysconf(_SC_PAGESIZE);
  if (page_size > 0) g_page_size = static_cast<uintptr_t>(page_size);
  struct sigaction action = {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
  sigemptyset(&action.sa_mask);
  g_installed = ::sigaction(SIGBUS, &action, &g_previous) == 0;
}

}  // namespace

int GuardView(const void* begin, size_t length) {
  std::call_once(g_install_once, Install);
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

bool ViewFaulted(int slot) {
  return slot >= 0 && slot < kSlotCount && g_slots[slot].faulted.load(std::memory_order_acquire);
}

}  // namespace tvl
