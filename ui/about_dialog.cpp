#include "ui/about_dialog.h"

#include <shellapi.h>

#include <cwchar>

#include "resources/about_dialog_ids.h"
#include "resources/program_ids.h"
#include "ui/handle.h"
#include "ui/hyperlink.h"

// Fixed when the program is configured (from SOURCE_DATE_EPOCH when set, so that builds repeat),
// in the compiler's own __DATE__ and __TIME__ forms.
#ifndef TVL_BUILD_DATE
#define TVL_BUILD_DATE __DATE__
#endif
#ifndef TVL_BUILD_TIME
#define TVL_BUILD_TIME __TIME__
#endif

namespace tvl {
namespace {

constexpr size_t kLineSize = 128;
constexpr size_t kLinkSize = 512;
// The fourth number of the version.
constexpr int kRevision = TVL_VERSION_REVISION;
constexpr COLORREF kBandLineColour = RGB(64, 64, 64);
// The band reaches this far below the copyright line...
constexpr LONG kBandBelowCopyright = 10;
// ...and this far outside the client area elsewhere, so that only its lower line shows.
constexpr LONG kBandOverhang = 999;

// The dialog owns its bold, underlined title font; it is deleted with the dialog.
constexpr wchar_t kTitleFontProperty[] = L"_About_Title_Font_";

ControlBounds BoundsOf(HWND dialog, HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return {rect.right, rect.top, rect.bottom};
}

// Made anew at each call, for a new DPI too; the previous one is deleted once the control no
// longer holds it.
void SetTitleFont(HWND dialog) {
  HFONT dialog_font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  LOGFONTW description = {};
  if (!dialog_font || !GetObjectW(dialog_font, sizeof description, &description)) return;
  description.lfWeight = FW_BOLD;
  description.lfUnderline = TRUE;
  OwnedFont title(CreateFontIndirectW(&description));
  if (!title) return;
  SendDlgItemMessageW(dialog, IDC_ABOUT_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(title.get()),
                      TRUE);
  OwnedFont previous(static_cast<HFONT>(RemovePropW(dialog, kTitleFontProperty)));
  SetPropW(dialog, kTitleFontProperty, title.Detach());
}

// The system gives the dialog and the controls that use its font a font for the new DPI; the
// fonts made from it here would stay at the old size, or lose their weight and underline.
void RefreshFonts(HWND dialog) {
  SetTitleFont(dialog);
  // The link makes its underlined copy from the font it is given.
  SendDlgItemMessageW(dialog, IDC_ABOUT_LINK, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0),
                      TRUE);
}

void SetTexts(HWND dialog, const wchar_t* version) {
  wchar_t line[kLineSize] = {};
  std::swprintf(line, kLineSize, L"Tarvelline %ls", version ? version : L"");
  SetDlgItemTextW(dialog, IDC_ABOUT_TITLE, line);
  std::swprintf(line, kLineSize, L"Built %ls %ls %ls", L"" TVL_BUILD_DATE, L"" TVL_BUILD_TIME,
                L"(Unicode)");
  SetDlgItemTextW(dialog, IDC_ABOUT_BUILD, line);
  std::swprintf(line, kLineSize, L"R%d", kRevision);
  SetDlgItemTextW(dialog, IDC_ABOUT_REVISION, line);
}

void OnInitDialog(HWND dialog, const wchar_t* version) {
  SetTitleFont(dialog);
  SetTexts(dialog, version);
  // Shared: the system owns the icon.
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
  SendDlgItemMessageW(dialog, IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  AttachHyperlink(GetDlgItem(dialog, IDC_ABOUT_LINK));
}

// The white band behind the top lines, with its grey lower line. Not in high contrast, where the
// system's colours rule.
bool PaintBand(HWND dialog) {
  if (IsHighContrast()) return false;
  PAINTSTRUCT paint = {};
  HDC dc = BeginPaint(dialog, &paint);
  RECT client = {};
  GetClientRect(dialog, &client);
  OwnedPen pen(CreatePen(PS_SOLID, 1, kBandLineColour));
  HGDIOBJ old_brush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  HGDIOBJ old_pen = pen ? SelectObject(dc, pen.get()) : nullptr;
  ControlBounds copyright = GetControlBounds(dialog, IDC_ABOUT_COPYRIGHT);
  Rectangle(dc, client.left - kBandOverhang, client.top - kBandOverhang,
            client.right + kBandOverhang, copyright.bottom + kBandBelowCopyright);
  if (old_pen) SelectObject(dc, old_pen);
  SelectObject(dc, old_brush);
  EndPaint(dialog, &paint);
  return true;
}

// Statics on the band are drawn on white; the others keep the dialog's colours.
INT_PTR StaticColour(HWND dialog, HDC dc, HWND control) {
  if (IsHighContrast()) return FALSE;
  ControlBounds band = GetControlBounds(dialog, IDC_ABOUT_COPYRIGHT);
  if (BoundsOf(dialog, control).top >= band.bottom) return FALSE;
  SetBkColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
}

void OpenLink(HWND dialog) {
  wchar_t link[kLinkSize] = {};
  GetDlgItemTextW(dialog, IDC_ABOUT_LINK, link, kLinkSize);
  // Nothing is reported if the shell cannot open it.
  LinkOpener()(dialog, L"open", link, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

ShellExecuteCall& LinkOpener() {
  static ShellExecuteCall call = ShellExecuteW;
  return call;
}

INT_PTR ShowAboutDialog(HWND owner, const wchar_t* version) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner,
                         AboutDialogProc, reinterpret_cast<LPARAM>(version));
}

ControlBounds GetControlBounds(HWND dialog, int id) {
  return BoundsOf(dialog, GetDlgItem(dialog, id));
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog, reinterpret_cast<const wchar_t*>(lparam));
      return TRUE;

    case WM_PAINT:
      return PaintBand(dialog);

    case WM_CTLCOLORSTATIC:
      return StaticColour(dialog, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));

    case WM_THEMECHANGED:
      InvalidateRect(dialog, nullptr, TRUE);
      return TRUE;

    case WM_DPICHANGED:
      // The default handling makes the dialog's font for the new DPI; the fonts made from it
      // follow once it has.
      PostMessageW(dialog, kAboutRefreshFonts, 0, 0);
      return FALSE;

    case kAboutRefreshFonts:
      RefreshFonts(dialog);
      return TRUE;

    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_ABOUT_LINK) {
        // A click, or Enter or Space on the link, opens it. Its other notifications (the second
        // click of a double click, being enabled or disabled) leave the dialog open.
        if (HIWORD(wparam) == STN_CLICKED) OpenLink(dialog);
        return TRUE;
      }
      // Close, Escape, and any other command.
      EndDialog(dialog, 1);
      return TRUE;

    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;

    case WM_DESTROY: {
      SendDlgItemMessageW(dialog, IDC_ABOUT_TITLE, WM_SETFONT, 0, FALSE);
      OwnedFont title(static_cast<HFONT>(RemovePropW(dialog, kTitleFontProperty)));
      return FALSE;
    }

    default:
      return FALSE;
  }
}

}  // namespace tvl
