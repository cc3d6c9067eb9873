// The Windows fault handler. Windows can't put a page of zeros in place of one that couldn't be
// read in the middle of a copy, as POSIX can, so a read that faults inside a guarded view, on a
// thread inside ReadViews, is cut short instead: the handler marks the view faulted and resumes
// the thread where its ReadViews began, which returns false.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "platform/file_view.h"
#include "platform/file_view_guard.h"

namespace tvl {
namespace {

// What an in-page error carries when the system gives no more precise reason.
constexpr uint32_t kStatusInPageError = 0xC0000006;

// Per thread, the resume point of the ReadViews running on it, or null outside one.
std::atomic<DWORD> ResumeIndex{TLS_OUT_OF_INDEXES};

// Where a read cut short goes on: back into the ReadViews it ran in.
[[noreturn]] void ResumeReadViews() {
  __builtin_longjmp(static_cast<void**>(TlsGetValue(ResumeIndex.load())), 1);
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
  uintptr_t end = 0;
  const int slot = FindGuardedView(record->ExceptionInformation[1], &end);
  // A read outside ReadViews has nowhere to go on from: it fails as it would unguarded.
  if (slot < 0 || TlsGetValue(ResumeIndex.load()) == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  const bool has_status = code == EXCEPTION_IN_PAGE_ERROR && record->NumberParameters >= 3;
  MarkViewFaulted(slot, has_status ? static_cast<uint32_t>(record->ExceptionInformation[2])
                                   : kStatusInPageError);
  return ResumeInReadViews(pointers->ContextRecord) ? EXCEPTION_CONTINUE_EXECUTION
                                                    : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

bool InstallViewFaultHandler() {
  CONTEXT probe{};
  if (!ResumeInReadViews(&probe)) return false;
  const DWORD index = TlsAlloc();
  if (index == TLS_OUT_OF_INDEXES) return false;
  ResumeIndex.store(index);
  return AddVectoredExceptionHandler(1, OnViewFault) != nullptr;
}

// Not inlined, and alone with its __builtin_setjmp: the resume point is this call's own frame.
__attribute__((noinline)) bool ReadViews(void (*read)(void* context), void* context) {
  const DWORD index = ResumeIndex.load();
  if (index == TLS_OUT_OF_INDEXES) {  // then no view exists to fault
    read(context);
    return true;
  }
  void* volatile const outer = TlsGetValue(index);
  void* resume[5];
  if (__builtin_setjmp(resume) != 0) {
    TlsSetValue(index, outer);
    return false;
  }
  TlsSetValue(index, resume);
  read(context);
  TlsSetValue(index, outer);
  return true;
}

}  // namespace tvl
