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

// The visible top-level window of this process whose title is `title`, or null.
HWND FindProcessWindow(const wchar_t* title);

// The texts of the window's direct children of the given class ("Static", "Button").
std::vector<std::wstring> ChildTexts(HWND window, const wchar_t* class_name);

}  // namespace tvl::testing
