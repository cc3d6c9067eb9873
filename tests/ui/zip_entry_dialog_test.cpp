// The Choose an IWAD dialog from its real template, run modally as the program runs it and driven
// from the keyboard and the mouse.
#include "ui/zip_entry_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "resources/zip_entry_dialog_ids.h"
#include "tests/app/window_probe.h"
#include "tests/ui/modal_dialog.h"

namespace tvl::testing {
namespace {

constexpr wchar_t kTitle[] = L"Choose an IWAD";
const std::vector<std::wstring> kEntries = {L"doom2/DOOM2.WAD", L"tnt.wad", L"plutonia.wad"};

int Show() { return ShowZipEntryDialog(nullptr, L"iwads.zip", kEntries); }

INT_PTR RunChoice(std::vector<DialogStep> steps) {
  return RunModalDialog(
      kTitle, [] { return static_cast<INT_PTR>(Show()); }, std::move(steps));
}

DialogStep Press(WPARAM key) {
  return [key](HWND dialog) { PressKey(dialog, key); };
}

TEST(ZipEntryDialogTest, ListsTheNamesWithTheFirstChosenAndTheKeyboardOnTheList) {
  std::vector<std::wstring> lines;
  LRESULT selected = LB_ERR;
  int focus = 0;
  std::wstring prompt;
  bool ok_is_default = false;
  INT_PTR result =
      RunChoice({[&](HWND dialog) {
                   lines = ListTexts(GetDlgItem(dialog, IDC_ZIP_ENTRY_LIST));
                   selected = SendDlgItemMessageW(dialog, IDC_ZIP_ENTRY_LIST, LB_GETCURSEL, 0, 0);
                   focus = GetDlgCtrlID(GetFocus());
                   prompt = ItemText(dialog, IDC_ZIP_ENTRY_PROMPT);
                   ok_is_default = LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)) == IDOK;
                 },
                 Press(VK_RETURN)});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(lines, kEntries);
  EXPECT_EQ(selected, 0);
  EXPECT_EQ(focus, IDC_ZIP_ENTRY_LIST);
  EXPECT_EQ(prompt, L"iwads.zip holds more than one WAD file. Choose the one to open:");
  EXPECT_TRUE(ok_is_default);
}

TEST(ZipEntryDialogTest, KeysChooseOrBackOut) {
  struct Case {
    const char* keys;
    std::vector<WPARAM> presses;
    int chosen;
  } cases[] = {
      {"Down, Enter", {VK_DOWN, VK_RETURN}, 1},
      {"End, Enter", {VK_END, VK_RETURN}, 2},
      {"Down, Escape", {VK_DOWN, VK_ESCAPE}, -1},
      // Tab from the list reaches OK, then Cancel; Enter presses the button with the focus.
      {"Down, Tab, Enter", {VK_DOWN, VK_TAB, VK_RETURN}, 1},
      {"Tab, Tab, Enter", {VK_TAB, VK_TAB, VK_RETURN}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    std::vector<DialogStep> steps;
    for (WPARAM key : c.presses) steps.push_back(Press(key));
    EXPECT_EQ(RunChoice(std::move(steps)), c.chosen);
  }
}

TEST(ZipEntryDialogTest, MouseChoosesWithADoubleClickAndTheCloseBoxBacksOut) {
  EXPECT_EQ(RunChoice({[](HWND dialog) {
              HWND list = GetDlgItem(dialog, IDC_ZIP_ENTRY_LIST);
              RECT rect = {};
              SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rect));
              const LPARAM point = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
              SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
              SendMessageW(list, WM_LBUTTONUP, 0, point);
              SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
              SendMessageW(list, WM_LBUTTONUP, 0, point);
            }}),
            2);
  EXPECT_EQ(RunChoice({[](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }}), -1);
}

TEST(ZipEntryDialogTest, LongNamesScrollSidewaysAndShortenInThePrompt) {
  const std::wstring long_entry = L"iwads/" + std::wstring(120, L'x') + L"/DOOM2.WAD";
  const std::wstring archive = std::wstring(60, L'a') + L".zip";
  LONG extent = 0;
  RECT client = {};
  std::wstring prompt;
  RunModalDialog(
      kTitle,
      [&] {
        return static_cast<INT_PTR>(ShowZipEntryDialog(nullptr, archive, {long_entry, L"x"}));
      },
      {[&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_ZIP_ENTRY_LIST);
        extent = static_cast<LONG>(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0));
        GetClientRect(list, &client);
        prompt = ItemText(dialog, IDC_ZIP_ENTRY_PROMPT);
        EndDialog(dialog, IDCANCEL);
      }});
  EXPECT_GT(extent, client.right);
  // The archive's start and end, its extension with them.
  EXPECT_EQ(prompt.rfind(std::wstring(18, L'a') + L"...", 0), 0u);
  EXPECT_NE(prompt.find(L"aaa.zip holds more than one WAD file."), std::wstring::npos);
  EXPECT_EQ(prompt.find(L" holds"), 39u);
}

}  // namespace
}  // namespace tvl::testing
