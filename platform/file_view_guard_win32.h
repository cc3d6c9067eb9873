// The Windows half of FileView's promise. A page of a view that can't be read (a USB stick pulled
// out, a network share gone) raises an in-page error inside whatever copies from it. Windows
// can't put a page of zeros in its place in the middle of a copy, as POSIX can, so a read that
// faults inside a registered view, on a thread inside ReadViews, is cut short instead: the handler
// marks the view faulted and resumes the thread where its ReadViews began, which returns false.
#pragma once

#include <cstddef>

#include "platform/file.h"

namespace tvl {

// Registers `length` bytes at `begin` with the fault handler, which is installed on first use.
// Returns the view's slot, or -1 when the slots are all taken or the handler can't be installed;
// the view must not be used unguarded then.
int GuardView(const void* begin, size_t length);
// Forgets the slot; call before unmapping, so a later mapping at the same place isn't taken for
// it. -1 is ignored.
void UnguardView(int slot);
// True once a fault inside the slot's view was caught, with the system's reason in `reason`.
bool ViewFaulted(int slot, FileError* reason);

}  // namespace tvl
