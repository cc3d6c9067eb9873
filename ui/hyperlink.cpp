#include "ui/hyperlink.h"

#include <windowsx.h>

#include <string>

#include "ui/accessibility.h"
#include "ui/handle.h"

namespace tvl {
namespace {

WNDPROC OriginalProc(HWND window) {
  return reinterpret_cast<WNDPROC>(GetPropW(window, kHyperlinkOriginalProc));
}

// Installs `proc` on the window and keeps the one it replaces in its property.
void Subclass(HWND window, WNDPROC proc) {
  LONG_PTR previous = GetWindowLongPtrW(window, GWLP_WNDPROC);
  SetPropW(window, kHyperlinkOriginalProc, reinterpret_cast<HANDLE>(previous));
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

// Puts the previous procedure back and forgets it; returns it for the message at hand.
WNDPROC Unsubclass(HWND window) {
  WNDPROC previous = OriginalProc(window);
  if (previous) SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  RemovePropW(window, kHyperlinkOriginalProc);
  return previous;
}

LRESULT CallPrevious(WNDPROC previous, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!previous) return DefWindowProcW(window, message, wparam, lparam);
  return CallWindowProcW(previous, window, message, wparam, lparam);
}

// Straight to the static control, past HyperlinkProc, which takes every WM_SETFONT it sees for a
// new normal font.
void SetFontQuietly(HWND control, HANDLE font) {
  CallPrevious(OriginalProc(control), control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  InvalidateRect(control, nullptr, FALSE);
}

// Keeps `font` as the link's normal font and makes the underlined copy from it, deleting the
// copy made before.
void TakeNormalFont(HWND control, HFONT font) {
  SetPropW(control, kHyperlinkOriginalFont, font);
  LOGFONTW description = {};
  GetObjectW(font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT), sizeof description,
             &description);
  description.lfUnderline = TRUE;
  OwnedFont underlined(CreateFontIndirectW(&description));
  OwnedFont previous(static_cast<HFONT>(RemovePropW(control, kHyperlinkUnderlineFont)));
  if (underlined) SetPropW(control, kHyperlinkUnderlineFont, underlined.Detach());
}

bool PointerOutside(HWND control, LPARAM position) {
  POINT point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  ClientToScreen(control, &point);
  RECT bounds = {};
  GetWindowRect(control, &bounds);
  return !PtInRect(&bounds, point);
}

// Reported as a click, so the parent has one command to handle whatever the device.
void ReportClick(HWND control) {
  SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), STN_CLICKED),
               reinterpret_cast<LPARAM>(control));
}

// The system hides focus rectangles until the keyboard is used.
bool ShowsFocus(HWND control) {
  return GetFocus() == control && !(SendMessageW(control, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
}

// Where the static control draws its text, within its client area.
RECT TextBounds(HWND control, HDC dc) {
  RECT client = {};
  GetClientRect(control, &client);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)), L'\0');
  if (text.empty()) return client;
  GetWindowTextW(control, text.data(), static_cast<int>(text.size()) + 1);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
  RECT bounds = client;
  DrawTextW(dc, text.c_str(), -1, &bounds, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  if (old_font) SelectObject(dc, old_font);
  LONG width = bounds.right - bounds.left;
  switch (GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) {
    case SS_CENTER:
      OffsetRect(&bounds, (client.right - width) / 2, 0);
      break;
    case SS_RIGHT:
      OffsetRect(&bounds, client.right - width, 0);
      break;
    default:
      break;
  }
  IntersectRect(&bounds, &bounds, &client);
  return bounds;
}

// The static control paints itself into this paint's context, then the focus rectangle goes on
// top of its text.
void PaintWithFocus(HWND control, WNDPROC previous) {
  PAINTSTRUCT paint = {};
  HDC dc = BeginPaint(control, &paint);
  CallPrevious(previous, control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  if (ShowsFocus(control)) {
    RECT bounds = TextBounds(control, dc);
    DrawFocusRect(dc, &bounds);
  }
  EndPaint(control, &paint);
}

bool IsFirstPress(LPARAM key_data) { return (key_data & (1 << 30)) == 0; }

}  // namespace

COLORREF LinkColour(bool high_contrast) {
  return high_contrast ? GetSysColor(COLOR_HOTLIGHT) : kLinkColour;
}

void AttachHyperlink(HWND control) {
  if (!control || GetPropW(control, kHyperlinkFromStatic)) return;

  // A parent with a link already is not subclassed again, even if someone has subclassed it
  // since: a second time would keep our own procedure as its previous one.
  HWND parent = GetParent(control);
  if (parent && !GetPropW(parent, kHyperlinkOriginalProc) &&
      GetWindowLongPtrW(parent, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&HyperlinkParentProc)) {
    Subclass(parent, HyperlinkParentProc);
  }

  // Clicks reach the parent only from a notifying static; the keyboard reaches only tab stops.
  SetWindowLongPtrW(control, GWL_STYLE,
                    GetWindowLongPtrW(control, GWL_STYLE) | SS_NOTIFY | WS_TABSTOP);
  Subclass(control, HyperlinkProc);

  // The control's own font belongs to whoever gave it; only the underlined copy is ours.
  TakeNormalFont(control, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));

  SetPropW(control, kHyperlinkFromStatic, reinterpret_cast<HANDLE>(1));
}

LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC previous = OriginalProc(window);
  switch (message) {
    case WM_CTLCOLORSTATIC: {
      // The link keeps the background its dialog chose; only the text takes the link colour.
      LRESULT brush = CallPrevious(previous, window, message, wparam, lparam);
      if (GetPropW(reinterpret_cast<HWND>(lparam), kHyperlinkFromStatic)) {
        SetTextColor(reinterpret_cast<HDC>(wparam), LinkColour(IsHighContrast()));
      }
      return brush;
    }
    case WM_DESTROY:
      Unsubclass(window);
      return CallPrevious(previous, window, message, wparam, lparam);
    default:
      return CallPrevious(previous, window, message, wparam, lparam);
  }
}

LRESULT CALLBACK HyperlinkProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC previous = OriginalProc(control);
  switch (message) {
    case WM_SETCURSOR: {
      HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
      SetCursor(hand ? hand : LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    }
    case WM_MOUSEMOVE:
      if (GetCapture() != control) {
        // Held until the pointer leaves, so that the leaving is seen.
        SetFontQuietly(control, GetPropW(control, kHyperlinkUnderlineFont));
        SetCapture(control);
      } else if (PointerOutside(control, lparam)) {
        SetFontQuietly(control, GetPropW(control, kHyperlinkOriginalFont));
        ReleaseCapture();
      }
      break;
    case WM_CAPTURECHANGED:
      // Capture taken away (another window, a menu, a lost activation) ends the hover too, or
      // the link would stay underlined until the pointer next crosses it.
      if (reinterpret_cast<HWND>(lparam) != control) {
        SetFontQuietly(control, GetPropW(control, kHyperlinkOriginalFont));
      }
      break;
    case WM_SETFONT:
      // A font from outside: the dialog's, made anew for a new DPI, say. The underlined copy
      // follows it, and a link under the pointer stays underlined.
      TakeNormalFont(control, reinterpret_cast<HFONT>(wparam));
      if (GetCapture() == control) {
        wparam = reinterpret_cast<WPARAM>(GetPropW(control, kHyperlinkUnderlineFont));
      }
      break;
    case WM_GETDLGCODE: {
      // Enter would otherwise press the dialog's default button. Not a static any more either:
      // the dialog treats the link as a control of its own.
      LRESULT code = CallPrevious(previous, control, message, wparam, lparam) & ~DLGC_STATIC;
      const MSG* key = reinterpret_cast<const MSG*>(lparam);
      if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_KEYDOWN:
      // Once per press: a held key does not open the link again and again.
      if ((wparam == VK_RETURN || wparam == VK_SPACE) && IsFirstPress(lparam)) {
        ReportClick(control);
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(control, nullptr, TRUE);
      break;
    case WM_UPDATEUISTATE: {
      LRESULT result = CallPrevious(previous, control, message, wparam, lparam);
      InvalidateRect(control, nullptr, TRUE);
      return result;
    }
    case WM_PAINT:
      if (wparam) break;  // painting into a context of the caller's
      PaintWithFocus(control, previous);
      return 0;
    case WM_DESTROY: {
      Unsubclass(control);
      SendMessageW(control, WM_SETFONT,
                   reinterpret_cast<WPARAM>(GetPropW(control, kHyperlinkOriginalFont)), FALSE);
      RemovePropW(control, kHyperlinkOriginalFont);
      OwnedFont underlined(static_cast<HFONT>(RemovePropW(control, kHyperlinkUnderlineFont)));
      RemovePropW(control, kHyperlinkFromStatic);
      break;
    }
    default:
      break;
  }
  return CallPrevious(previous, control, message, wparam, lparam);
}

}  // namespace tvl
