#include "tests/app/window_probe.h"

namespace tvl::testing {
namespace {

struct Search {
  const WindowQuery& query;
  HWND found;
};

bool Answers(HWND window, const WindowQuery& query) {
  if (query.process != 0 || query.thread != 0) {
    DWORD process = 0;
    DWORD thread = GetWindowThreadProcessId(window, &process);
    if ((query.process != 0 && process != query.process) ||
        (query.thread != 0 && thread != query.thread)) {
      return false;
    }
  }
  if (query.class_name) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpiW(name, query.class_name) != 0) return false;
  }
  if (query.owner && GetWindow(window, GW_OWNER) != query.owner) return false;
  if (query.visible && !IsWindowVisible(window)) return false;
  if (query.enabled && !IsWindowEnabled(window)) return false;
  // Last: reading the title sends a message, which a window of another thread has to answer.
  return !query.title || WindowText(window) == query.title;
}

// A named callback: on x86 an enumeration callback must be stdcall, which a lambda is not.
BOOL CALLBACK CheckWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (!Answers(window, search->query)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindWindowBy(const WindowQuery& query) {
  Search search = {query, nullptr};
  const auto data = reinterpret_cast<LPARAM>(&search);
  if (query.parent) {
    EnumChildWindows(query.parent, CheckWindow, data);
  } else if (query.thread != 0) {
    EnumThreadWindows(query.thread, CheckWindow, data);
  } else {
    EnumWindows(CheckWindow, data);
  }
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
