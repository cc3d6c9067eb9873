#include "tests/app/window_probe.h"

namespace tvl::testing {
namespace {

struct TitleSearch {
  const wchar_t* title;
  HWND found;
};

BOOL CALLBACK CheckTopWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TitleSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
      WindowText(window) == search->title) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindProcessWindow(const wchar_t* title) {
  TitleSearch search = {title, nullptr};
  EnumWindows(CheckTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring WindowText(HWND window) {
  // WM_GETTEXT rather than GetWindowTextW, which does not ask a window of another process.
  LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  LRESULT got =
      SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

std::wstring ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

std::vector<ListLine> ListLines(HWND list) {
  std::vector<ListLine> lines;
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    LRESULT got = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    lines.push_back({text, SendMessageW(list, LB_GETITEMDATA, i, 0)});
  }
  return lines;
}

std::vector<std::wstring> ListTexts(HWND list) {
  std::vector<std::wstring> texts;
  for (const ListLine& line : ListLines(list)) texts.push_back(line.text);
  return texts;
}

std::vector<std::wstring> ChildTexts(HWND window, const wchar_t* class_name) {
  std::vector<std::wstring> texts;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    if (lstrcmpiW(name, class_name) == 0) texts.push_back(WindowText(child));
  }
  return texts;
}

}  // namespace tvl::testing
