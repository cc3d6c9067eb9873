// Shows the wait cursor while work runs on the user-interface thread.
#pragma once

#include <windows.h>

namespace tvl {

// Puts back the cursor it replaced: no cursor at all would hide the pointer until it next moves.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

}  // namespace tvl
