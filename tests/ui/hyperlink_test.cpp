// The hyperlink facility on plain windows of this test: what it keeps in window properties, how
// the link reacts to the pointer, and that destroying the windows undoes all of it.
#include "ui/hyperlink.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/ui/high_contrast.h"
#include "ui/handle.h"

namespace tvl::testing {
namespace {

constexpr wchar_t kParentClass[] = L"TvlHyperlinkTestParent";

// The facility's properties still on a window.
BOOL CALLBACK CollectProperty(HWND, LPWSTR name, HANDLE, ULONG_PTR data) {
  if (!IS_INTRESOURCE(name) && std::wstring(name).rfind(L"_Hyperlink_", 0) == 0) {
    reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(name);
  }
  return TRUE;
}

std::vector<std::wstring> HyperlinkProperties(HWND window) {
  std::vector<std::wstring> names;
  EnumPropsExW(window, CollectProperty, reinterpret_cast<LPARAM>(&names));
  return names;
}

// What a window looked like at its very end (WM_NCDESTROY), seen by a procedure installed before
// the facility's.
struct LastLook {
  std::vector<std::wstring> properties;
  LONG_PTR proc = 0;
  HFONT font = nullptr;
  bool seen = false;
};

// The commands the parent window of the fixture received.
struct Command {
  WPARAM wparam;
  LPARAM lparam;
  bool operator==(const Command&) const = default;
};
std::vector<Command> g_commands;

LRESULT CALLBACK RecordingParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND) g_commands.push_back({wparam, lparam});
  return DefWindowProcW(window, message, wparam, lparam);
}

std::map<HWND, WNDPROC> g_previous;
std::map<HWND, LastLook> g_last_look;

LRESULT CALLBACK WatchingProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC previous = g_previous[window];
  if (message == WM_NCDESTROY) {
    LastLook& look = g_last_look[window];
    look.properties = HyperlinkProperties(window);
    look.proc = GetWindowLongPtrW(window, GWLP_WNDPROC);
    look.font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    look.seen = true;
  }
  return CallWindowProcW(previous, window, message, wparam, lparam);
}

void Watch(HWND window) {
  g_previous[window] = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchingProc)));
}

LOGFONTW Describe(HGDIOBJ font) {
  LOGFONTW description = {};
  GetObjectW(font, sizeof description, &description);
  return description;
}

HFONT FontOf(HWND window) {
  return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

class HyperlinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = RecordingParentProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = kParentClass;
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassW(&window_class);
    parent_ = CreateWindowExW(0, kParentClass, L"Links", WS_POPUP | WS_CAPTION, 100, 100, 300, 120,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    LOGFONTW description = {};
    description.lfHeight = -11;
    lstrcpyW(description.lfFaceName, L"Tahoma");
    font_.Attach(CreateFontIndirectW(&description));
    first_ = MakeStatic(L"https://tarvelline.org", 10);
    second_ = MakeStatic(L"https://tarvelline.org/credits", 40);
    plain_ = MakeStatic(L"Plain text", 70);
    ShowWindow(parent_, SW_SHOWNOACTIVATE);
    UpdateWindow(parent_);
  }
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
    g_previous.clear();
    g_last_look.clear();
    g_commands.clear();
  }

  HWND MakeStatic(const wchar_t* text, int y) {
    // Numbered by position, so their commands tell them apart.
    HWND control = CreateWindowExW(0, L"Static", text, WS_CHILD | WS_VISIBLE | SS_LEFT, 10, y, 200,
                                   20, parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(y)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return control;
  }

  OwnedFont font_;
  HWND parent_ = nullptr;
  HWND first_ = nullptr;
  HWND second_ = nullptr;
  HWND plain_ = nullptr;
};

TEST_F(HyperlinkTest, KeepsItsStateInNamedPropertiesAndSubclassesTheParentOnce) {
  LONG_PTR parent_proc = GetWindowLongPtrW(parent_, GWLP_WNDPROC);
  AttachHyperlink(first_);
  AttachHyperlink(second_);

  EXPECT_EQ(GetWindowLongPtrW(parent_, GWLP_WNDPROC),
            reinterpret_cast<LONG_PTR>(&HyperlinkParentProc));
  // The second link did not take the facility's own procedure for the parent's previous one.
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropW(parent_, kHyperlinkOriginalProc)), parent_proc);
  EXPECT_EQ(HyperlinkProperties(parent_), std::vector<std::wstring>{kHyperlinkOriginalProc});

  for (HWND link : {first_, second_}) {
    EXPECT_EQ(GetWindowLongPtrW(link, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&HyperlinkProc));
    EXPECT_NE(GetPropW(link, kHyperlinkOriginalProc), nullptr);
    EXPECT_EQ(GetPropW(link, kHyperlinkOriginalFont), font_.get());
    EXPECT_EQ(GetPropW(link, kHyperlinkFromStatic), reinterpret_cast<HANDLE>(1));
    EXPECT_NE(GetWindowLongPtrW(link, GWL_STYLE) & SS_NOTIFY, 0);
    HANDLE underlined = GetPropW(link, kHyperlinkUnderlineFont);
    ASSERT_NE(underlined, nullptr);
    LOGFONTW description = Describe(underlined);
    EXPECT_TRUE(description.lfUnderline);
    EXPECT_EQ(description.lfHeight, -11);
    EXPECT_STREQ(description.lfFaceName, L"Tahoma");
    // The normal font until the pointer comes.
    EXPECT_EQ(FontOf(link), font_.get());
  }
  EXPECT_NE(GetPropW(first_, kHyperlinkUnderlineFont), GetPropW(second_, kHyperlinkUnderlineFont));

  // A link made a link again stays as it was.
  HANDLE underlined = GetPropW(first_, kHyperlinkUnderlineFont);
  AttachHyperlink(first_);
  EXPECT_EQ(GetPropW(first_, kHyperlinkUnderlineFont), underlined);
  EXPECT_NE(GetPropW(first_, kHyperlinkOriginalProc),
            reinterpret_cast<HANDLE>(reinterpret_cast<LONG_PTR>(&HyperlinkProc)));
  EXPECT_TRUE(HyperlinkProperties(plain_).empty());
}

TEST_F(HyperlinkTest, LinksAreDrawnInTheLinkColourOnTheParentsBackground) {
  AttachHyperlink(first_);
  HDC dc = GetDC(parent_);
  SetTextColor(dc, RGB(1, 2, 3));
  LRESULT link_brush = SendMessageW(parent_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                    reinterpret_cast<LPARAM>(first_));
  EXPECT_EQ(GetTextColor(dc), kLinkColour);
  SetTextColor(dc, RGB(1, 2, 3));
  LRESULT plain_brush = SendMessageW(parent_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(plain_));
  EXPECT_NE(GetTextColor(dc), kLinkColour);
  EXPECT_EQ(link_brush, plain_brush);
  ReleaseDC(parent_, dc);
}

TEST_F(HyperlinkTest, PointerOverTheLinkUnderlinesItUntilItLeaves) {
  AttachHyperlink(first_);
  HANDLE underlined = GetPropW(first_, kHyperlinkUnderlineFont);

  EXPECT_EQ(SendMessageW(first_, WM_SETCURSOR, reinterpret_cast<WPARAM>(first_),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));

  // Over it, across it, out to the left (negative client coordinates), back, out below, and
  // back again: underlined and holding the capture exactly while over it.
  const struct {
    int x, y;
    bool over;
  } moves[] = {{5, 5, true}, {150, 10, true}, {-3, 5, false},
               {5, 5, true}, {5, 25, false},  {5, 5, true}};
  for (const auto& move : moves) {
    SCOPED_TRACE(::testing::Message() << "at " << move.x << "," << move.y);
    SendMessageW(first_, WM_MOUSEMOVE, 0, MAKELPARAM(move.x, move.y));
    EXPECT_EQ(FontOf(first_), move.over ? underlined : font_.get());
    EXPECT_EQ(GetCapture() == first_, move.over);
  }

  // Another window taking the capture ends the hover as well.
  SetCapture(second_);
  EXPECT_EQ(FontOf(first_), font_.get());
  ReleaseCapture();
}

TEST_F(HyperlinkTest, DestroyingUndoesEverything) {
  Watch(parent_);
  Watch(first_);
  Watch(second_);
  LONG_PTR watching = reinterpret_cast<LONG_PTR>(&WatchingProc);
  AttachHyperlink(first_);
  AttachHyperlink(second_);
  HGDIOBJ underlined[] = {static_cast<HGDIOBJ>(GetPropW(first_, kHyperlinkUnderlineFont)),
                          static_cast<HGDIOBJ>(GetPropW(second_, kHyperlinkUnderlineFont))};
  // Destroyed while underlined, too.
  SendMessageW(first_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));

  HWND parent = parent_, first = first_, second = second_;
  DestroyWindow(parent_);
  parent_ = nullptr;

  for (HWND window : {parent, first, second}) {
    const LastLook& look = g_last_look[window];
    ASSERT_TRUE(look.seen);
    EXPECT_TRUE(look.properties.empty());
    EXPECT_EQ(look.proc, watching);
  }
  EXPECT_EQ(g_last_look[first].font, font_.get());
  EXPECT_EQ(g_last_look[second].font, font_.get());
  // The underlined fonts were the links' own; the original belongs to this test and lives on.
  EXPECT_EQ(GetObjectType(underlined[0]), 0u);
  EXPECT_EQ(GetObjectType(underlined[1]), 0u);
  EXPECT_EQ(GetObjectType(font_.get()), static_cast<DWORD>(OBJ_FONT));
}

TEST_F(HyperlinkTest, EnterOrSpaceReportsAClickOncePerPress) {
  AttachHyperlink(first_);
  EXPECT_NE(GetWindowLongPtrW(first_, GWL_STYLE) & WS_TABSTOP, 0);

  // Enter reaches the link instead of pressing the dialog's default button; Tab still moves on.
  MSG enter = {first_, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
  LRESULT code = SendMessageW(first_, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter));
  EXPECT_NE(code & DLGC_WANTMESSAGE, 0);
  EXPECT_EQ(code & DLGC_STATIC, 0);
  MSG tab = {first_, WM_KEYDOWN, VK_TAB, 1, 0, {}};
  code = SendMessageW(first_, WM_GETDLGCODE, VK_TAB, reinterpret_cast<LPARAM>(&tab));
  EXPECT_EQ(code & (DLGC_WANTMESSAGE | DLGC_WANTTAB | DLGC_WANTALLKEYS), 0);

  constexpr LPARAM kHeld = 1 | (1 << 30);
  SendMessageW(first_, WM_KEYDOWN, VK_RETURN, 1);
  SendMessageW(first_, WM_KEYDOWN, VK_RETURN, kHeld);
  SendMessageW(first_, WM_KEYDOWN, VK_SPACE, 1);
  SendMessageW(first_, WM_KEYDOWN, VK_SPACE, kHeld);
  SendMessageW(first_, WM_KEYDOWN, 'A', 1);
  // Not a link: keys do nothing.
  SendMessageW(plain_, WM_KEYDOWN, VK_RETURN, 1);
  Command click = {MAKEWPARAM(GetDlgCtrlID(first_), STN_CLICKED), reinterpret_cast<LPARAM>(first_)};
  EXPECT_EQ(g_commands, (std::vector<Command>{click, click}));
}

// Pixels of the link's top row that differ from its background: the top edge of the focus
// rectangle, since the font leaves that row free.
int MarksOnTopRow(HWND link) {
  RedrawWindow(link, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  HDC dc = GetDC(link);
  COLORREF background = GetSysColor(COLOR_3DFACE);
  RECT client = {};
  GetClientRect(link, &client);
  int marks = 0;
  for (int x = 0; x < client.right; ++x) marks += GetPixel(dc, x, 0) != background;
  ReleaseDC(link, dc);
  return marks;
}

TEST_F(HyperlinkTest, FocusRectangleShowsWhileTheKeyboardHasTheLink) {
  AttachHyperlink(first_);
  SetFocus(first_);
  ASSERT_EQ(GetFocus(), first_);
  // As after a key press in a dialog.
  SendMessageW(first_, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  int focused = MarksOnTopRow(first_);
  EXPECT_GT(focused, 10);

  // Around the text, not the whole control.
  HDC dc = GetDC(first_);
  HGDIOBJ old_font = SelectObject(dc, font_.get());
  SIZE text = {};
  GetTextExtentPoint32W(dc, L"https://tarvelline.org", 22, &text);
  SelectObject(dc, old_font);
  ReleaseDC(first_, dc);
  EXPECT_LE(focused, text.cx);
  EXPECT_GE(focused, text.cx / 3);  // dotted

  // Before the keyboard is used, the system hides focus rectangles (where it keeps that state:
  // Wine does not).
  SendMessageW(first_, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
  if (SendMessageW(first_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) {
    EXPECT_EQ(MarksOnTopRow(first_), 0);
    SendMessageW(first_, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    EXPECT_EQ(MarksOnTopRow(first_), focused);
  }

  SetFocus(parent_);
  EXPECT_EQ(MarksOnTopRow(first_), 0);
}

TEST_F(HyperlinkTest, HighContrastDrawsTheLinkInTheHotLightColour) {
  EXPECT_EQ(LinkColour(false), kLinkColour);
  EXPECT_EQ(LinkColour(true), GetSysColor(COLOR_HOTLIGHT));

  HighContrastOn high_contrast;
  if (!high_contrast.switched()) GTEST_SKIP() << "high contrast cannot be switched on here";
  AttachHyperlink(first_);
  HDC dc = GetDC(parent_);
  SendMessageW(parent_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(first_));
  EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_HOTLIGHT));
  ReleaseDC(parent_, dc);
}

TEST_F(HyperlinkTest, AFontGivenLaterIsTheNewNormalFontWithItsOwnUnderlinedCopy) {
  AttachHyperlink(first_);
  HGDIOBJ first_copy = GetPropW(first_, kHyperlinkUnderlineFont);
  LOGFONTW description = Describe(font_.get());
  description.lfHeight = -22;  // as at twice the DPI
  OwnedFont larger(CreateFontIndirectW(&description));

  SendMessageW(first_, WM_SETFONT, reinterpret_cast<WPARAM>(larger.get()), FALSE);
  EXPECT_EQ(FontOf(first_), larger.get());
  EXPECT_EQ(GetPropW(first_, kHyperlinkOriginalFont), larger.get());
  HGDIOBJ larger_copy = GetPropW(first_, kHyperlinkUnderlineFont);
  ASSERT_NE(larger_copy, nullptr);
  EXPECT_TRUE(Describe(larger_copy).lfUnderline);
  EXPECT_EQ(Describe(larger_copy).lfHeight, -22);
  EXPECT_EQ(GetObjectType(first_copy), 0u);

  // Under the pointer the link stays underlined, in the size of the font it is given.
  SendMessageW(first_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(FontOf(first_), larger_copy);
  SendMessageW(first_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  HGDIOBJ copy = GetPropW(first_, kHyperlinkUnderlineFont);
  EXPECT_EQ(FontOf(first_), copy);
  EXPECT_EQ(Describe(copy).lfHeight, -11);
  EXPECT_EQ(GetObjectType(larger_copy), 0u);
  SendMessageW(first_, WM_MOUSEMOVE, 0, MAKELPARAM(5, 50));
  EXPECT_EQ(FontOf(first_), font_.get());
  EXPECT_EQ(GetPropW(first_, kHyperlinkOriginalFont), font_.get());
}

}  // namespace
}  // namespace tvl::testing
