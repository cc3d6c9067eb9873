// The About dialog from its real template: layout, texts, fonts, the band, the link, and the ways
// it ends.
#include "ui/about_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include <regex>
#include <string>
#include <vector>

#include "app/program.h"
#include "resources/about_dialog_ids.h"
#include "tests/app/window_probe.h"
#include "tests/ui/high_contrast.h"
#include "tests/ui/modal_dialog.h"
#include "tvl_version.h"
#include "ui/handle.h"
#include "ui/hyperlink.h"

namespace tvl::testing {
namespace {

constexpr wchar_t kLink[] = L"https://tarvelline.org";

struct OpenCall {
  HWND owner;
  std::wstring verb;
  std::wstring file;
  bool parameters;
  bool directory;
  INT show;
};
std::vector<OpenCall> g_opened;

HINSTANCE WINAPI RecordOpen(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                            LPCWSTR directory, INT show) {
  g_opened.push_back({owner, verb ? verb : L"", file ? file : L"", parameters != nullptr,
                      directory != nullptr, show});
  return reinterpret_cast<HINSTANCE>(33);  // what the shell returns on success
}

LOGFONTW Describe(HGDIOBJ font) {
  LOGFONTW description = {};
  GetObjectW(font, sizeof description, &description);
  return description;
}

LOGFONTW Describe(HWND window) {
  return Describe(reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
}

class AboutDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReadProgramVersion();
    g_opened.clear();
    LinkOpener() = RecordOpen;
  }
  void TearDown() override {
    if (dialog_) DestroyWindow(dialog_);
    LinkOpener() = ShellExecuteW;
  }

  HWND Open() {
    dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), nullptr,
                                 AboutDialogProc, reinterpret_cast<LPARAM>(ProgramVersion));
    EXPECT_NE(dialog_, nullptr);
    ShowWindow(dialog_, SW_SHOW);
    UpdateWindow(dialog_);
    return dialog_;
  }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }

  // A press of the left button on the link, as the user clicks it.
  void ClickLink() {
    SendMessageW(Item(IDC_ABOUT_LINK), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(Item(IDC_ABOUT_LINK), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  }

  HWND dialog_ = nullptr;
};

TEST_F(AboutDialogTest, ShowsNameBuildAndRevision) {
  Open();
  EXPECT_EQ(WindowText(dialog_), L"About");
  EXPECT_EQ(ItemText(dialog_, IDC_ABOUT_TITLE), L"Tarvelline " TVL_VERSION_SHORT);
  std::wstring build = ItemText(dialog_, IDC_ABOUT_BUILD);
  // The compiler's date and time forms: "Apr 27 2022 23:21:43", with a space before a one-digit
  // day.
  EXPECT_TRUE(std::regex_match(
      std::string(build.begin(), build.end()),
      std::regex("Built (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 1-3][0-9] [0-9]{4} "
                 "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] \\(Unicode\\)")))
      << std::string(build.begin(), build.end());
  EXPECT_EQ(ItemText(dialog_, IDC_ABOUT_COPYRIGHT),
            L"Copyright (C) 2026 The Tarvelline developers");
  EXPECT_EQ(ItemText(dialog_, IDC_ABOUT_LINK), kLink);
  EXPECT_EQ(ItemText(dialog_, IDC_ABOUT_REVISION), L"R90");
  EXPECT_FALSE(ItemEnabled(dialog_, IDC_ABOUT_REVISION));
  EXPECT_NE(SendMessageW(Item(IDC_ABOUT_ICON), STM_GETICON, 0, 0), 0);
}

TEST_F(AboutDialogTest, TitleIsTheDialogFontBoldAndUnderlined) {
  Open();
  LOGFONTW dialog_font = Describe(dialog_);
  LOGFONTW title = Describe(Item(IDC_ABOUT_TITLE));
  EXPECT_EQ(title.lfWeight, FW_BOLD);
  EXPECT_TRUE(title.lfUnderline);
  EXPECT_STREQ(title.lfFaceName, dialog_font.lfFaceName);
  EXPECT_EQ(title.lfHeight, dialog_font.lfHeight);
  // The other lines keep the dialog's font.
  EXPECT_FALSE(Describe(Item(IDC_ABOUT_BUILD)).lfUnderline);
  EXPECT_NE(Describe(Item(IDC_ABOUT_BUILD)).lfWeight, FW_BOLD);
}

TEST_F(AboutDialogTest, LinkIsAHyperlinkOpenedWithTheShell) {
  Open();
  HWND link = Item(IDC_ABOUT_LINK);
  EXPECT_EQ(GetWindowLongPtrW(link, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&HyperlinkProc));
  EXPECT_EQ(GetWindowLongPtrW(dialog_, GWLP_WNDPROC),
            reinterpret_cast<LONG_PTR>(&HyperlinkParentProc));
  EXPECT_NE(GetPropW(link, kHyperlinkUnderlineFont), nullptr);
  EXPECT_EQ(GetPropW(link, kHyperlinkFromStatic), reinterpret_cast<HANDLE>(1));

  SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, 0));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));

  HDC dc = GetDC(link);
  SendMessageW(dialog_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(link));
  EXPECT_EQ(GetTextColor(dc), kLinkColour);
  ReleaseDC(link, dc);

  ClickLink();
  ASSERT_EQ(g_opened.size(), 1u);
  EXPECT_EQ(g_opened[0].owner, dialog_);
  EXPECT_EQ(g_opened[0].verb, L"open");
  EXPECT_EQ(g_opened[0].file, kLink);
  EXPECT_FALSE(g_opened[0].parameters);
  EXPECT_FALSE(g_opened[0].directory);
  EXPECT_EQ(g_opened[0].show, SW_SHOWNORMAL);
  EXPECT_TRUE(IsWindowVisible(dialog_));
}

TEST_F(AboutDialogTest, TopLinesSitOnAWhiteBandAboveAGreyLine) {
  if (IsHighContrast()) GTEST_SKIP() << "the system runs in high contrast";
  Open();
  HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  HDC dc = GetDC(dialog_);
  auto brush_for = [&](HWND control) {
    return reinterpret_cast<HBRUSH>(SendMessageW(dialog_, WM_CTLCOLORSTATIC,
                                                 reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(control)));
  };
  for (int id : {IDC_ABOUT_ICON, IDC_ABOUT_TITLE, IDC_ABOUT_BUILD, IDC_ABOUT_COPYRIGHT}) {
    EXPECT_EQ(brush_for(Item(id)), white) << id;
  }
  for (int id : {IDC_ABOUT_LINK, IDC_ABOUT_REVISION}) EXPECT_NE(brush_for(Item(id)), white) << id;

  // The painted band: white down to its line, 10 pixels below the copyright line.
  ControlBounds copyright = GetControlBounds(dialog_, IDC_ABOUT_COPYRIGHT);
  RECT rect = {};
  GetWindowRect(Item(IDC_ABOUT_COPYRIGHT), &rect);
  MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(copyright.bottom, rect.bottom);
  EXPECT_EQ(copyright.top, rect.top);
  EXPECT_EQ(copyright.right, rect.right);
  RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(GetPixel(dc, 2, copyright.bottom + 5), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 2, copyright.bottom + 9), RGB(64, 64, 64));
  EXPECT_NE(GetPixel(dc, 2, copyright.bottom + 12), RGB(255, 255, 255));
  ReleaseDC(dialog_, dc);
}

TEST_F(AboutDialogTest, HighContrastHasNoBand) {
  HighContrastOn high_contrast;
  if (!high_contrast.switched()) GTEST_SKIP() << "high contrast cannot be switched on here";
  Open();
  HDC dc = GetDC(dialog_);
  LRESULT brush = SendMessageW(dialog_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                               reinterpret_cast<LPARAM>(Item(IDC_ABOUT_TITLE)));
  EXPECT_NE(brush, reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(dialog_, dc);
}

// Run modally, as the main window's system menu does.
INT_PTR RunAbout(std::vector<DialogStep> steps) {
  return RunModalDialog(
      L"About", [] { return ShowAboutDialog(nullptr, ProgramVersion); }, std::move(steps));
}

TEST_F(AboutDialogTest, EscapeCloseAndTheCloseBoxEndIt) {
  EXPECT_EQ(RunAbout({[](HWND dialog) { PressKey(dialog, VK_ESCAPE); }}), 1);
  EXPECT_EQ(RunAbout({[](HWND dialog) { PressKey(dialog, VK_RETURN); }}), 1);
  EXPECT_EQ(RunAbout({[](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }}),
            1);
  EXPECT_EQ(RunAbout({[](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }}), 0);
  EXPECT_TRUE(g_opened.empty());
}

TEST_F(AboutDialogTest, DoubleClickOnTheLinkOpensItOnceAndLeavesTheDialogOpen) {
  bool open = false;
  INT_PTR result = RunAbout({[](HWND dialog) {
                               HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
                               PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
                               PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
                               PostMessageW(link, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
                               PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
                               // Its other notifications, too.
                               EnableWindow(link, FALSE);
                               EnableWindow(link, TRUE);
                             },
                             [&](HWND dialog) {
                               open = IsWindowVisible(dialog) != FALSE;
                               EndDialog(dialog, kModalTimedOut);
                             }});
  EXPECT_TRUE(open);
  EXPECT_EQ(result, kModalTimedOut);
  ASSERT_EQ(g_opened.size(), 1u);
  EXPECT_EQ(g_opened[0].file, kLink);
}

TEST_F(AboutDialogTest, KeyboardReachesTheLinkAndOpensItWithEnterOrSpace) {
  bool link_focused = false;
  bool focus_shown = false;
  size_t opened_by_enter = 0;
  bool open_after_enter = false;
  size_t opened_by_space = 0;
  bool back_on_close = false;
  INT_PTR result = RunAbout({
      // From Close, the first tab stop.
      [](HWND dialog) { PressKey(dialog, VK_TAB); },
      [&](HWND dialog) {
        HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
        link_focused = GetFocus() == link;
        focus_shown = !(SendMessageW(link, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
        PressKey(dialog, VK_RETURN);
      },
      [&](HWND dialog) {
        opened_by_enter = g_opened.size();
        open_after_enter = IsWindowVisible(dialog) != FALSE;
        PressKey(dialog, VK_SPACE);
      },
      [&](HWND dialog) {
        opened_by_space = g_opened.size();
        PressKey(dialog, VK_TAB);
      },
      [&](HWND dialog) {
        back_on_close = GetFocus() == GetDlgItem(dialog, IDOK);
        PressKey(dialog, VK_RETURN);
      },
  });
  EXPECT_TRUE(link_focused);
  EXPECT_TRUE(focus_shown);
  EXPECT_EQ(opened_by_enter, 1u);
  EXPECT_TRUE(open_after_enter);
  EXPECT_EQ(opened_by_space, 2u);
  EXPECT_TRUE(back_on_close);
  EXPECT_EQ(result, 1);
  for (const OpenCall& call : g_opened) EXPECT_EQ(call.file, kLink);
}

TEST_F(AboutDialogTest, EachOpeningMakesItsFontsAndDeletesThem) {
  HGDIOBJ fonts[2] = {};
  INT_PTR result = RunAbout({[&](HWND dialog) {
    fonts[0] = reinterpret_cast<HGDIOBJ>(
        SendMessageW(GetDlgItem(dialog, IDC_ABOUT_TITLE), WM_GETFONT, 0, 0));
    fonts[1] =
        static_cast<HGDIOBJ>(GetPropW(GetDlgItem(dialog, IDC_ABOUT_LINK), kHyperlinkUnderlineFont));
    EndDialog(dialog, 1);
  }});
  EXPECT_EQ(result, 1);
  ASSERT_NE(fonts[0], nullptr);
  ASSERT_NE(fonts[1], nullptr);
  EXPECT_EQ(GetObjectType(fonts[0]), 0u);
  EXPECT_EQ(GetObjectType(fonts[1]), 0u);
}

// The font the dialog answers WM_GETFONT with, standing in for the one the system makes for a
// new DPI (a dialog does not take a new font from WM_SETFONT everywhere).
struct NewDpiFont {
  WNDPROC previous = nullptr;
  HFONT font = nullptr;
};
NewDpiFont g_new_dpi_font;

LRESULT CALLBACK AnswerNewDpiFont(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_GETFONT) return reinterpret_cast<LRESULT>(g_new_dpi_font.font);
  return CallWindowProcW(g_new_dpi_font.previous, window, message, wparam, lparam);
}

// What the system does for a new DPI: a dialog font made for it, given to the dialog and to the
// controls that had the dialog's font; the fonts the dialog made from its font are its own
// business. Then the message.
void GiveDialogFont(HWND dialog, HFONT font) {
  HFONT previous = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(child) == IDC_ABOUT_LINK) continue;  // held under the pointer, say
    if (reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)) == previous) {
      SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
  }
  if (!g_new_dpi_font.previous) {
    g_new_dpi_font.previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AnswerNewDpiFont)));
  }
  g_new_dpi_font.font = font;
  RECT bounds = {};
  GetWindowRect(dialog, &bounds);
  SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&bounds));
  MSG message = {};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void TakeBackDialogFont(HWND dialog) {
  SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_new_dpi_font.previous));
  g_new_dpi_font = {};
}

TEST_F(AboutDialogTest, DpiChangeMakesTheTitleAndLinkFontsAnewFromTheDialogsFont) {
  Open();
  HWND title = Item(IDC_ABOUT_TITLE);
  HWND link = Item(IDC_ABOUT_LINK);
  HFONT original = reinterpret_cast<HFONT>(SendMessageW(dialog_, WM_GETFONT, 0, 0));
  LOGFONTW base = Describe(dialog_);
  OwnedFont given;
  DWORD gdi_objects = 0;
  for (int round = 0; round < 6; ++round) {
    HGDIOBJ old_title = reinterpret_cast<HGDIOBJ>(SendMessageW(title, WM_GETFONT, 0, 0));
    HGDIOBJ old_copy = GetPropW(link, kHyperlinkUnderlineFont);
    LOGFONTW scaled = base;
    scaled.lfHeight = base.lfHeight * (round % 2 ? 3 : 2) / 2;  // 150% and 100%, in turn
    OwnedFont font(CreateFontIndirectW(&scaled));
    GiveDialogFont(dialog_, font.get());
    given = std::move(font);

    LOGFONTW now = Describe(title);
    EXPECT_EQ(now.lfHeight, scaled.lfHeight) << round;
    EXPECT_EQ(now.lfWeight, FW_BOLD);
    EXPECT_TRUE(now.lfUnderline);
    EXPECT_STREQ(now.lfFaceName, base.lfFaceName);
    EXPECT_EQ(GetObjectType(old_title), 0u) << "the old title font was deleted";

    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), given.get());
    EXPECT_EQ(GetPropW(link, kHyperlinkOriginalFont), given.get());
    HGDIOBJ copy = GetPropW(link, kHyperlinkUnderlineFont);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Describe(copy).lfHeight, scaled.lfHeight);
    EXPECT_TRUE(Describe(copy).lfUnderline);
    EXPECT_EQ(GetObjectType(old_copy), 0u) << "the old underlined copy was deleted";

    // Every round makes as many fonts as it deletes (where the system counts them: Wine
    // answers 0).
    DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (round == 1) gdi_objects = count;
    if (round > 1) {
      EXPECT_EQ(count, gdi_objects) << round;
    }
  }
  // The dialog's own font back, before the one given here goes.
  GiveDialogFont(dialog_, original);
  TakeBackDialogFont(dialog_);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), original);
}

}  // namespace
}  // namespace tvl::testing
