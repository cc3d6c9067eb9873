// Reading and driving the Find IWADs dialog from its own message loop, for the dialog's tests and
// the main window's.
#pragma once

#include <commctrl.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/find_iwads_dialog_ids.h"
#include "tests/app/window_probe.h"

namespace tvl::testing {

inline constexpr wchar_t kFindIwadsTitle[] = L"Find IWADs";

// One line of the list: release, where it is, where it was found.
using FoundLine = std::vector<std::wstring>;

inline std::vector<FoundLine> FoundLines(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_FIND_IWADS_LIST);
  std::vector<FoundLine> lines;
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int line = 0; line < count; ++line) {
    FoundLine cells;
    for (int column = 0; column < 3; ++column) {
      wchar_t text[1024] = {};
      LVITEMW item = {};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = 1024;
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(line),
                   reinterpret_cast<LPARAM>(&item));
      cells.push_back(text);
    }
    lines.push_back(cells);
  }
  return lines;
}

// Runs the thread's messages, all but timers (which run the next test step), until `done`; false
// when it never came. The bound only keeps a broken search from hanging the test.
inline bool PumpDialogUntil(const std::function<bool()>& done) {
  const ULONGLONG end = GetTickCount64() + 30000;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
           PeekMessageW(&message, nullptr, WM_TIMER + 1, 0xffffffffu, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return true;
}

// Until the search has ended, with the words the status starts with then.
inline bool WaitForSearchEnd(HWND dialog) {
  return PumpDialogUntil([dialog] {
    const std::wstring status = ItemText(dialog, IDC_FIND_IWADS_STATUS);
    return status.starts_with(L"Search finished:") || status.starts_with(L"Search stopped:");
  });
}

inline void SelectLine(HWND dialog, int line) {
  LVITEMW state = {};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendDlgItemMessageW(dialog, IDC_FIND_IWADS_LIST, LVM_SETITEMSTATE, static_cast<WPARAM>(line),
                      reinterpret_cast<LPARAM>(&state));
}

inline void PressButton(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace tvl::testing
