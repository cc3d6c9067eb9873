// A main window made from the real template and procedure, in this process, with scripted
// message boxes and file dialogs.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/app/scripted_ui.h"
#include "tests/app/window_probe.h"
#include "tests/test_files.h"

namespace tvl::testing {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the window (modeless, hidden) as start-up would with `command_line_file`.
  HWND Open(const wchar_t* command_line_file = nullptr);
  HWND Item(int id) const { return GetDlgItem(window_, id); }

  // A button press, as the button itself reports it. Patch! waits for its conversion to end.
  void Click(int id);
  // Presses Patch! and returns while its conversion runs.
  void StartPatch();
  // Runs the window's messages, as the dialog's loop would, until `done` or `timeout_ms` passed.
  // Returns `done()`.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 20000);
  // "..." answered with `file`.
  void Browse(const Path& file);
  // A mouse click on line `line` of the target list.
  void ClickTarget(int line);
  // Selects line `line` whatever the list's state and sends the notification a user's selection
  // would: for checking the enabling rule where the user could not select.
  void ForceSelect(int line);
  // The line of the target list showing `title`, marked as lacking a patch or not, or -1.
  int LineOf(std::u16string_view title);
  // Drops files on the window as the shell does without OLE (WM_DROPFILES).
  void DropFiles(const std::vector<Path>& files);

  ScriptedUi ui_;
  ScratchDir scratch_;
  HWND window_ = nullptr;
};

// The tooltip window `owner` owns on this thread, or null.
HWND FindTooltip(HWND owner);
// The text of the tool for control `id` of `owner` in that tooltip.
std::wstring TooltipText(HWND tooltip, HWND owner, int id);

// The first line of a message: the program's own text, before any reason line.
inline std::wstring FirstLine(const std::wstring& text) { return text.substr(0, text.find(L'\n')); }
// The success message; a new file is named on its second line.
inline std::wstring PatchedText(const Path& new_file = {}) {
  return new_file.empty() ? L"IWAD patched successfully!"
                          : L"IWAD patched successfully!\n" + new_file.wstring();
}
// The lines after the first: the reason.
inline std::wstring ReasonLines(const std::wstring& text) {
  size_t end = text.find(L'\n');
  return end == std::wstring::npos ? std::wstring() : text.substr(end + 1);
}

// Runs the main dialog modally as the program does, with `steps` run one by one from the
// dialog's own message loop. Returns the dialog's result; a dialog the steps leave open is ended
// with kModalTimedOut.
INT_PTR RunModal(const wchar_t* command_line_file, std::vector<std::function<void(HWND)>> steps);

}  // namespace tvl::testing
