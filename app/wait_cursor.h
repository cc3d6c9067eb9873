// Shows the wait cursor while work runs on the user-interface thread.
#pragma once

#include <windows.h>

namespace tvl {

class WaitCursor {
 public:
  WaitCursor() { SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }
  // No cursor: the system shows the normal pointer again at the next mouse move.
  ~WaitCursor() { SetCursor(nullptr); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace tvl
