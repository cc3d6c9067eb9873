#include "ui/list_box_width.h"

#include <algorithm>
#include <string>

namespace tvl {

void FitHorizontalExtent(HWND list) {
  HDC dc = GetDC(list);
  if (!dc) return;
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0));
  HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
  LONG widest = 0;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT line = 0; line < count; ++line) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(line), 0);
    if (length <= 0) continue;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(line),
                 reinterpret_cast<LPARAM>(text.data()));
    SIZE size = {};
    if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(length), &size)) {
      widest = std::max(widest, size.cx);
    }
  }
  if (previous) SelectObject(dc, previous);
  ReleaseDC(list, dc);
  SendMessageW(list, LB_SETHORIZONTALEXTENT,
               static_cast<WPARAM>(widest + 2 * GetSystemMetrics(SM_CXEDGE) + 4), 0);
}

}  // namespace tvl
