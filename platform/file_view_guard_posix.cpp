// The POSIX fault handler: a fault in a mapped file (SIGBUS: the file was cut short, or its disk
// failed) inside a guarded view is caught, and the rest of the view is replaced with zeros so the
// access completes.
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>

#include "platform/file_view_guard.h"

namespace tvl {
namespace {

uintptr_t PageSize = 4096;
struct sigaction PreviousAction = {};

// A fault that isn't ours goes where it would have gone without us.
void PassOn(int signal, siginfo_t* info, void* context) {
  if ((PreviousAction.sa_flags & SA_SIGINFO) != 0) {
    if (PreviousAction.sa_sigaction != nullptr) PreviousAction.sa_sigaction(signal, info, context);
    return;
  }
  if (PreviousAction.sa_handler != SIG_DFL && PreviousAction.sa_handler != SIG_IGN) {
    PreviousAction.sa_handler(signal);
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
  uintptr_t end = 0;
  const int slot = FindGuardedView(address, &end);
  if (slot >= 0) {
    // Zeros from the faulting page to the end of the view: one fault ends the reading of a file
    // that was cut short, rather than one per page still to come.
    const uintptr_t page = address & ~(PageSize - 1);
    void* zeros = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros != MAP_FAILED) {
      MarkViewFaulted(slot, EIO);  // what a read of the same page would have said
      errno = saved_errno;
      return;
    }
  }
  errno = saved_errno;
  PassOn(signal, info, context);
}

}  // namespace

bool InstallViewFaultHandler() {
  const long page_size = ::sysconf(_SC_PAGESIZE);
  if (page_size > 0) PageSize = static_cast<uintptr_t>(page_size);
  struct sigaction action = {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
  sigemptyset(&action.sa_mask);
  return ::sigaction(SIGBUS, &action, &PreviousAction) == 0;
}

}  // namespace tvl
