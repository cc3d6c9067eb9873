// Reads windows and their controls through ordinary window messages, so the same helpers serve
// a dialog in this process and one in another.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvl::testing {

// The result a test ends a modal dialog with when its steps left it open.
inline constexpr INT_PTR kModalTimedOut = 0x7e57;

struct ListLine {
  std::wstring text;
  LRESULT item_data = 0;

  bool operator==(const ListLine&) const = default;
};

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);

// The lines of a list box, in order. Item data is only meaningful in the list's own process.
std::vector<ListLine> ListLines(HWND list);
std::vector<std::wstring> ListTexts(HWND list);

// What a window is looked for by; a field left empty matches any window.
struct WindowQuery {
  const wchar_t* title = nullptr;
  const wchar_t* class_name = nullptr;  // "#32770" for a dialog
  DWORD process = 0;
  DWORD thread = 0;       // only this thread's top-level windows
  HWND parent = nullptr;  // only this window's descendants
  HWND owner = nullptr;
  bool visible = false;
  bool enabled = false;
};

// The first window that answers `query`, top-level unless a parent is given, or null.
HWND FindWindowBy(const WindowQuery& query);

// The visible top-level window of this process whose title is `title`, or null.
inline HWND FindProcessWindow(const wchar_t* title) {
  return FindWindowBy({.title = title, .process = GetCurrentProcessId(), .visible = true});
}

// The visible dialog of this thread with this title, or null.
inline HWND FindThreadDialog(const wchar_t* title) {
  return FindWindowBy(
      {.title = title, .class_name = L"#32770", .thread = GetCurrentThreadId(), .visible = true});
}

// The texts of the window's direct children of the given class ("Static", "Button").
std::vector<std::wstring> ChildTexts(HWND window, const wchar_t* class_name);

}  // namespace tvl::testing
