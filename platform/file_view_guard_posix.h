// The POSIX half of FileView's promise: a fault in a mapped file (SIGBUS: the file was cut short,
// or its disk failed) inside a registered view is caught, the rest of the view is replaced with
// zeros so the access completes, and the view is marked faulted for its reader to see.
#pragma once

#include <cstddef>

namespace tvl {

// Registers `length` bytes at `begin` (a whole number of pages) with the fault handler, which is
// installed on first use. Returns the view's slot, or -1 when the slots are all taken or the
// handler can't be installed; the view must not be used unguarded then.
int GuardView(const void* begin, size_t length);
// Forgets the slot; call before unmapping, so a later mapping at the same place isn't taken for
// it. -1 is ignored.
void UnguardView(int slot);
// True once a fault inside the slot's view was caught.
bool ViewFaulted(int slot);

}  // namespace tvl
