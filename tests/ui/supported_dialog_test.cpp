// The Supported IWADs dialog from its real template, over the product's catalogue.
#include "ui/supported_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/wide_text.h"
#include "resources/supported_dialog_ids.h"
#include "tests/app/window_probe.h"
#include "tests/ui/modal_dialog.h"

namespace tvl::testing {
namespace {

constexpr wchar_t kPrompt[] = L"Select an IWAD to view its information";

std::vector<std::wstring> FilterTexts(HWND combo) {
  std::vector<std::wstring> texts;
  LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    texts.push_back(text);
  }
  return texts;
}

// The releases of `game` (every release for null) in catalogue order, as the list shows them.
std::vector<ListLine> Releases(const char16_t* game) {
  std::vector<ListLine> lines;
  for (int i = 0; i < kIwadCount; ++i) {
    if (!game || std::u16string_view(GetIwad(i).game_id) == game) {
      lines.push_back({AsWide(GetIwad(i).title), i});
    }
  }
  return lines;
}

class SupportedDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { InitIwadCatalogue(); }
  void TearDown() override {
    if (dialog_) DestroyWindow(dialog_);
  }

  void Open() {
    dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SUPPORTED_IWADS),
                                 nullptr, SupportedIwadsDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    ShowWindow(dialog_, SW_SHOW);
    UpdateWindow(dialog_);
  }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

  // Picks a game in the filter as the user does: the selection and its notification.
  void Filter(const wchar_t* game) {
    HWND combo = Item(IDC_SUPPORTED_FILTER);
    LRESULT line = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(game));
    ASSERT_NE(line, CB_ERR);
    SendMessageW(combo, CB_SETCURSEL, line, 0);
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDC_SUPPORTED_FILTER, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
  }

  // Clicks the release with this title in the list.
  void ClickRelease(const wchar_t* title) {
    HWND list = Item(IDC_SUPPORTED_LIST);
    LRESULT line = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(title));
    ASSERT_NE(line, LB_ERR);
    SendMessageW(list, LB_SETTOPINDEX, line, 0);
    RECT rect = {};
    SendMessageW(list, LB_GETITEMRECT, line, reinterpret_cast<LPARAM>(&rect));
    LPARAM point = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(list, WM_LBUTTONUP, 0, point);
    ASSERT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), line);
  }

  void ExpectDetails(const wchar_t* release_id, const char* digest, bool base, bool no_patch) {
    EXPECT_EQ(ItemText(dialog_, IDC_SUPPORTED_RELEASE_ID), release_id);
    EXPECT_EQ(ItemText(dialog_, IDC_SUPPORTED_DIGEST),
              std::wstring(digest, digest + std::char_traits<char>::length(digest)));
    EXPECT_EQ(Checked(IDC_SUPPORTED_BASE), base);
    EXPECT_EQ(Checked(IDC_SUPPORTED_NO_PATCH), no_patch);
  }

  HWND dialog_ = nullptr;
};

TEST_F(SupportedDialogTest, OpensWithEveryReleaseAndNoDetails) {
  Open();
  std::vector<std::wstring> games = {
      L"(all)",    L"doom",      L"sdoom",     L"doom2",   L"tnt",   L"plutonia",
      L"heretic",  L"hexen",     L"hexdd",     L"strife1", L"sve",   L"voices",
      L"nerve",    L"freedoom1", L"freedoom2", L"freedm",  L"hacx",  L"harmony",
      L"fakeiwad", L"megagame",  L"chex",      L"chex2",   L"chex3", L"doom64"};
  EXPECT_EQ(FilterTexts(Item(IDC_SUPPORTED_FILTER)), games);
  EXPECT_EQ(SendMessageW(Item(IDC_SUPPORTED_FILTER), CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(ItemText(dialog_, IDC_SUPPORTED_FILTER), L"(all)");
  std::vector<ListLine> all = ListLines(Item(IDC_SUPPORTED_LIST));
  EXPECT_EQ(all.size(), 115u);
  EXPECT_EQ(all, Releases(nullptr));
  EXPECT_EQ(SendMessageW(Item(IDC_SUPPORTED_LIST), LB_GETCURSEL, 0, 0), LB_ERR);
  ExpectDetails(kPrompt, "", false, false);
}

TEST_F(SupportedDialogTest, FilterShowsOneGameAndAllAgain) {
  Open();
  Filter(L"doom2");
  std::vector<ListLine> doom2 = ListLines(Item(IDC_SUPPORTED_LIST));
  EXPECT_EQ(doom2, Releases(u"doom2"));
  EXPECT_EQ(doom2.size(), 17u);
  // A game whose id begins another's shows only its own.
  Filter(L"doom");
  EXPECT_EQ(ListLines(Item(IDC_SUPPORTED_LIST)), Releases(u"doom"));
  Filter(L"voices");
  EXPECT_EQ(ListTexts(Item(IDC_SUPPORTED_LIST)), std::vector<std::wstring>{L"Strife voices"});
  Filter(L"(all)");
  EXPECT_EQ(ListLines(Item(IDC_SUPPORTED_LIST)), Releases(nullptr));
  EXPECT_EQ(SendMessageW(Item(IDC_SUPPORTED_LIST), LB_GETCURSEL, 0, 0), LB_ERR);
}

TEST_F(SupportedDialogTest, SelectedReleaseShowsItsIdDigestAndFlags) {
  Open();
  ClickRelease(L"The Ultimate Doom retail v1.9");
  ExpectDetails(L"doom_u19", "9b07b02ab3c275a6a7570c3f73cc20d63a0e3833", true, false);
  ClickRelease(L"Strife voices");
  ExpectDetails(L"voices_", "ec6883100d807b894a98f426d024d22c77b63e7f", false, true);

  // Another game in the filter leaves the details of the last release on display.
  Filter(L"doom2");
  ExpectDetails(L"voices_", "ec6883100d807b894a98f426d024d22c77b63e7f", false, true);
  ClickRelease(L"Doom 2 retail v1.9");
  int v19 = FindIwadByReleaseId(u"doom2_v19");
  ASSERT_GE(v19, 0);
  ExpectDetails(L"doom2_v19", GetIwad(v19).sha1_hex, true, false);
}

TEST_F(SupportedDialogTest, CheckBoxesCannotBeChanged) {
  Open();
  ClickRelease(L"The Ultimate Doom retail v1.9");
  SendMessageW(Item(IDC_SUPPORTED_BASE), BM_CLICK, 0, 0);
  SendMessageW(Item(IDC_SUPPORTED_NO_PATCH), BM_CLICK, 0, 0);
  EXPECT_TRUE(Checked(IDC_SUPPORTED_BASE));
  EXPECT_FALSE(Checked(IDC_SUPPORTED_NO_PATCH));
  ClickRelease(L"Strife voices");
  SendMessageW(Item(IDC_SUPPORTED_NO_PATCH), BM_CLICK, 0, 0);
  SendMessageW(Item(IDC_SUPPORTED_BASE), BM_CLICK, 0, 0);
  EXPECT_TRUE(Checked(IDC_SUPPORTED_NO_PATCH));
  EXPECT_FALSE(Checked(IDC_SUPPORTED_BASE));
  // With the keyboard too.
  SetFocus(Item(IDC_SUPPORTED_NO_PATCH));
  SendMessageW(Item(IDC_SUPPORTED_NO_PATCH), WM_KEYDOWN, VK_SPACE, 0);
  SendMessageW(Item(IDC_SUPPORTED_NO_PATCH), WM_KEYUP, VK_SPACE, 0);
  EXPECT_TRUE(Checked(IDC_SUPPORTED_NO_PATCH));
}

// The longest titles are wider than the list: it scrolls sideways as far as the widest of the
// releases it shows, measured in its own font, for every filter.
TEST_F(SupportedDialogTest, TheWidestTitleCanBeScrolledTo) {
  Open();
  HWND list = Item(IDC_SUPPORTED_LIST);
  EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL);
  struct Case {
    const wchar_t* filter;
    const char16_t* game;  // null for every release
    bool wider_than_list;
  };
  const Case cases[] = {
      {L"(all)", nullptr, true}, {L"doom", u"doom", true}, {L"voices", u"voices", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << (&c - cases));
    Filter(c.filter);
    HDC dc = GetDC(list);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (const ListLine& line : Releases(c.game)) {
      SIZE size = {};
      ASSERT_TRUE(
          GetTextExtentPoint32W(dc, line.text.c_str(), static_cast<int>(line.text.size()), &size));
      widest = std::max(widest, size.cx);
    }
    SelectObject(dc, previous);
    ReleaseDC(list, dc);
    const LRESULT extent = SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0);
    EXPECT_GE(extent, widest);
    RECT client = {};
    GetClientRect(list, &client);
    EXPECT_EQ(widest > client.right, c.wider_than_list) << widest << " " << client.right;
    // The scroll bar reaches the end of the widest title.
    SendMessageW(list, WM_HSCROLL, SB_RIGHT, 0);
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(list, SB_HORZ, &info);
    if (c.wider_than_list) {
      EXPECT_GE(info.nPos + client.right, widest);
    }
  }
}

INT_PTR RunSupported(std::vector<DialogStep> steps) {
  return RunModalDialog(
      L"Supported IWADs", [] { return ShowSupportedIwadsDialog(nullptr); }, std::move(steps));
}

TEST_F(SupportedDialogTest, EscapeCloseAndTheCloseBoxEndIt) {
  EXPECT_EQ(RunSupported({[](HWND dialog) { PressKey(dialog, VK_ESCAPE); }}), 0);
  // From the list too, where the keyboard is while browsing.
  EXPECT_EQ(RunSupported({[](HWND dialog) {
              SetFocus(GetDlgItem(dialog, IDC_SUPPORTED_LIST));
              PressKey(dialog, VK_ESCAPE);
            }}),
            0);
  EXPECT_EQ(RunSupported({[](HWND dialog) { PressKey(dialog, VK_RETURN); }}), 1);
  EXPECT_EQ(RunSupported({[](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }}),
            0);
}

}  // namespace
}  // namespace tvl::testing
