#include "ui/hyperlink.h"

#include <windowsx.h>

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

void SetFontQuietly(HWND control, HANDLE font) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  InvalidateRect(control, nullptr, FALSE);
}

bool PointerOutside(HWND control, LPARAM position) {
  POINT point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  ClientToScreen(control, &point);
  RECT bounds = {};
  GetWindowRect(control, &bounds);
  return !PtInRect(&bounds, point);
}

}  // namespace

void AttachHyperlink(HWND control) {
  if (!control || GetPropW(control, kHyperlinkFromStatic)) return;

  // A parent with a link already is not subclassed again, even if someone has subclassed it
  // since: a second time would keep our own procedure as its previous one.
  HWND parent = GetParent(control);
  if (parent && !GetPropW(parent, kHyperlinkOriginalProc) &&
      GetWindowLongPtrW(parent, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&HyperlinkParentProc)) {
    Subclass(parent, HyperlinkParentProc);
  }

  // Clicks reach the parent only from a notifying static.
  SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | SS_NOTIFY);
  Subclass(control, HyperlinkProc);

  // The control's own font belongs to whoever gave it; only the underlined copy is ours.
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  SetPropW(control, kHyperlinkOriginalFont, font);
  LOGFONTW description = {};
  GetObjectW(font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT), sizeof description,
             &description);
  description.lfUnderline = TRUE;
  OwnedFont underlined(CreateFontIndirectW(&description));
  if (underlined) SetPropW(control, kHyperlinkUnderlineFont, underlined.Detach());

  SetPropW(control, kHyperlinkFromStatic, reinterpret_cast<HANDLE>(1));
}

LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC previous = OriginalProc(window);
  switch (message) {
    case WM_CTLCOLORSTATIC: {
      // The link keeps the background its dialog chose; only the text turns blue.
      LRESULT brush = CallPrevious(previous, window, message, wparam, lparam);
      if (GetPropW(reinterpret_cast<HWND>(lparam), kHyperlinkFromStatic)) {
        SetTextColor(reinterpret_cast<HDC>(wparam), kLinkColour);
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
