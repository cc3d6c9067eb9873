// Where a view's fault is caught: the table of views the platform's fault handler watches. A page
// of a view that can't be read (the file was cut short, its disk failed or went away) faults in
// whatever code touches it. The handler finds the view the fault fell in, deals with it as its
// system allows (POSIX: zeros from that page on; Windows: the read is cut short, see ReadViews)
// and marks the view faulted for its reader to see.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvl {

// Registers `length` bytes at `begin` (whole pages) with the fault handler, which is installed on
// first use. Returns the view's slot, or -1 when the slots are all taken or the handler can't be
// installed; the view must not be used unguarded then.
int GuardView(const void* begin, size_t length);
// Forgets the slot; call before unmapping, so a later mapping at the same place isn't taken for
// it. -1 is ignored.
void UnguardView(int slot);
// True once a fault inside the slot's view was caught, with what the handler recorded for it in
// `status`.
bool ViewFaulted(int slot, uint32_t* status = nullptr);

// For the handler, which may run at any point of any thread: lock-free atomics only.
// The slot of the view holding `address`, with the view's end, or -1.
int FindGuardedView(uintptr_t address, uintptr_t* end);
void MarkViewFaulted(int slot, uint32_t status);

// The platform's half: installs its handler; false when it can't. Called once, by GuardView.
bool InstallViewFaultHandler();

}  // namespace tvl
