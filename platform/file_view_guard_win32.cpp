#include "platform/file_view_guard_win32.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "platform/file_view.h"

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
  std::atomic<uint32_t> status{0};  // the system's NTSTATUS for the page that couldn't be read
};
static_assert(std::atomic<uintptr_t>::is_always_lock_free &&
              std::atomic<uint32_t>::is_always_lock_free);

// What an in-page error carries when the system gives no more precise reason.
constexpr uint32_t kStatusInPageError = 0xC0000006;

using NtStatusToError = ULONG(WINAPI*)(LONG status);

Slot g_slots[kSlotCount];
// Per thread, the resume point of the ReadViews running on it, or null outside one.
DWORD g_resume_index = TLS_OUT_OF_INDEXES;
NtStatusToError g_status_to_error = nullptr;
bool g_installed = false;
INIT_ONCE g_install_once = INIT_ONCE_STATIC_INIT;

// Where a read cut short goes on: back into the ReadViews it ran in.
[[noreturn]] void ResumeReadViews() {
  __builtin_longjmp(static_cast<void**>(TlsGetValue(g_resume_index)), 1);
}

// Sets the thread off at ResumeReadViews, on a stack below all the faulting code still holds,
// aligned as the function expects it right after a call. False where that isn't written.
bool ResumeInReadViews(CONTEXT* context) {
#if defined(__x86_64__)
  context->Rsp = ((context->Rsp - 256) & ~DWORD64{15}) - 8;
  context->Rip = reinterpret_cast<DWORD64>(&ResumeReadViews);
  return true;
#elif defined(__i386__)
  context->Esp = ((context->Esp - 256) & ~DWORD{15}) - 4;
  context->Eip = reinterpret_cast<DWORD>(&ResumeReadViews);
  return true;
#else
  (void)context;
  return false;
#endif
}

// No allocation and no lock here: the faulting thread may hold either.
LONG CALLBACK OnViewFault(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  const DWORD code = record->ExceptionCode;
  // Wine reports a file cut short under a view as an access violation. Reading a read-only view
  // is always allowed otherwise, so that is the same news. Writes are bugs of ours: not caught.
  if ((code != EXCEPTION_IN_PAGE_ERROR && code != EXCEPTION_ACCESS_VIOLATION) ||
      record->NumberParameters < 2 || record->ExceptionInformation[0] != 0) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  const uintptr_t address = record->ExceptionInformation[1];
  for (Slot& slot : g_slots) {
    const uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    const uintptr_t end = slot.end.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= end) continue;
    // A read outside ReadViews has nowhere to go on from: it fails as it would unguarded.
    if (TlsGetValue(g_resume_index) == nullptr) return EXCEPTION_CONTINUE_SEARCH;
    const bool has_status = code == EXCEPTION_IN_PAGE_ERROR && record->NumberParameters >= 3;
    slot.status.store(
        has_status ? static_cast<uint32_t>(record->ExceptionInformation[2]) : kStatusInPageError,
        std::memory_order_relaxed);
    slot.faulted.store(true, std::memory_order_release);
    return ResumeInReadViews(pointers->ContextRecord) ? EXCEPTION_CONTINUE_EXECUTION
                                                      : EXCEPTION_CONTINUE_SEARCH;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

BOOL CALLBACK Install(INIT_ONCE* /*once*/, void* /*parameter*/, void** /*context*/) {
  CONTEXT probe{};
  if (!ResumeInReadViews(&probe)) return TRUE;
  g_resume_index = TlsAlloc();
  if (g_resume_index == TLS_OUT_OF_INDEXES) return TRUE;
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
    g_status_to_error = reinterpret_cast<NtStatusToError>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
  }
  g_installed = AddVectoredExceptionHandler(1, OnViewFault) != nullptr;
  return TRUE;
}

bool Installed() {
  InitOnceExecuteOnce(&g_install_once, Install, nullptr, nullptr);
  return g_installed;
}

}  // namespace

int GuardView(const void* begin, size_t length) {
  if (!Installed() || begin == nullptr || length == 0) return -1;
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

bool ViewFaulted(int slot, FileError* reason) {
  if (slot < 0 || slot >= kSlotCount || !g_slots[slot].faulted.load(std::memory_order_acquire)) {
    return false;
  }
  if (reason) {
    const LONG status = static_cast<LONG>(g_slots[slot].status.load(std::memory_order_relaxed));
    const ULONG error = g_status_to_error != nullptr ? g_status_to_error(status) : 0;
    // ERROR_MR_MID_NOT_FOUND: a status without a Win32 counterpart.
    *reason = error != 0 && error != ERROR_MR_MID_NOT_FOUND ? error : ERROR_READ_FAULT;
  }
  return true;
}

// Not inlined, and alone with its __builtin_setjmp: the resume point is this call's own frame.
__attribute__((noinline)) bool ReadViews(void (*read)(void* context), void* context) {
  if (!Installed()) {  // then no view exists to fault
    read(context);
    return true;
  }
  void* volatile const outer = TlsGetValue(g_resume_index);
  void* resume[5];
  if (__builtin_setjmp(resume) != 0) {
    TlsSetValue(g_resume_index, outer);
    return false;
  }
  TlsSetValue(g_resume_index, resume);
  read(context);
  TlsSetValue(g_resume_index, outer);
  return true;
}

}  // namespace tvl
