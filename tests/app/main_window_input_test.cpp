// What the window says about the file in its input box: the end of a long path with the whole as
// a tooltip, and, for a file it can't identify, what the file is.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <filesystem>
#include <string>

#include "app/failure_text.h"
#include "app/file_dialog.h"
#include "resources/main_window_ids.h"
#include "tests/app/main_window_fixture.h"

namespace tvl::testing {
namespace {

TEST(FileDialogTypesTest, OpenTakesZipArchivesFirstAndSaveOnlyWads) {
  // The first type is the one the dialog starts with: archives show beside the WAD files.
  const std::span<const COMDLG_FILTERSPEC> open = FileTypesFor(false);
  ASSERT_FALSE(open.empty());
  EXPECT_EQ(std::wstring(open[0].pszSpec), L"*.wad;*.zip");
  const std::span<const COMDLG_FILTERSPEC> save = FileTypesFor(true);
  ASSERT_FALSE(save.empty());
  EXPECT_EQ(std::wstring(save[0].pszSpec), L"*.wad");
  // The classic dialog's list: name and pattern pairs, the last closed by the string's own end.
  EXPECT_EQ(ClassicFilterFor(true), std::wstring(L"Doom WAD files\0*.wad\0All files\0*.*\0", 35));
  const wchar_t open_filter[] = L"Doom WAD files and zip archives\0*.wad;*.zip\0All files\0*.*\0";
  EXPECT_EQ(ClassicFilterFor(false), std::wstring(open_filter, std::size(open_filter) - 1));
}

TEST_F(MainWindowTest, ALongPathShowsItsFileNameAndTheWholeAsATooltip) {
  Path folder = scratch_ / "a folder with a rather long name, longer than the box is wide";
  std::filesystem::create_directory(folder);
  Path file = folder / "doom2.wad";
  WriteFileText(file, "not a release");
  Open();
  Browse(file);
  HWND input = Item(IDC_INPUT_PATH);
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), file.native());
  EXPECT_FALSE(ItemEnabled(window_, IDC_INPUT_PATH));
  // The last character is inside the box; the first has scrolled out to the left.
  RECT client = {};
  GetClientRect(input, &client);
  const LRESULT length = GetWindowTextLengthW(input);
  LRESULT last = SendMessageW(input, EM_POSFROMCHAR, static_cast<WPARAM>(length - 1), 0);
  LRESULT first = SendMessageW(input, EM_POSFROMCHAR, 0, 0);
  EXPECT_GE(static_cast<short>(LOWORD(last)), 0);
  EXPECT_LT(static_cast<short>(LOWORD(last)), client.right);
  EXPECT_LT(static_cast<short>(LOWORD(first)), 0);

  HWND tooltip = FindTooltip(window_);
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(TooltipText(tooltip, window_, IDC_INPUT_PATH), file.native());
  // The tool is the box's own place.
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = window_;
  tool.uId = IDC_INPUT_PATH;
  ASSERT_TRUE(SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
  RECT box = {};
  GetWindowRect(input, &box);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&box), 2);
  EXPECT_TRUE(EqualRect(&tool.rect, &box));
}

TEST_F(MainWindowTest, AnUnidentifiedFileIsDescribed) {
  Open();
  // A file that could not be read may be valid: the user is not told to try another.
  auto reason = [&](const Path& file, const wchar_t* first_line = kIdentifyFailedText) {
    ui_.messages.clear();
    Browse(file);
    EXPECT_EQ(ui_.messages.size(), 1u);
    if (ui_.messages.empty()) return std::wstring();
    EXPECT_EQ(FirstLine(ui_.messages[0].text), first_line);
    return ReasonLines(ui_.messages[0].text);
  };
  EXPECT_EQ(reason(scratch_ / "missing.wad"), L"There is no such file.");
  std::filesystem::create_directory(scratch_ / "folder.wad");
  EXPECT_EQ(reason(scratch_ / "folder.wad"), L"This is a folder, not a file.");

  // The digest of the text "abc", for the user to report.
  WriteFileText(scratch_ / "text.wad", "abc");
  EXPECT_EQ(reason(scratch_ / "text.wad"),
            L"Not a WAD file.\nSHA-1: a9993e364706816aba3e25717850c26c9cd0d89d");

  // A PWAD with no lumps: its header and an empty directory.
  const char pwad[] = "PWAD\0\0\0\0\x0c\0\0\0";
  WriteFileBytes(scratch_ / "addon.wad", std::vector<uint8_t>(pwad, pwad + 12));
  std::wstring addon = reason(scratch_ / "addon.wad");
  EXPECT_EQ(addon.rfind(L"PWAD (add-on) with 0 lumps, no maps. It adds to a game; it is not a "
                        L"game's main file.\nSHA-1: ",
                        0),
            0u)
      << addon;

  const char iwad[] = "IWAD\0\0\0\0\x0c\0\0\0";
  WriteFileBytes(scratch_ / "main.wad", std::vector<uint8_t>(iwad, iwad + 12));
  std::wstring main = reason(scratch_ / "main.wad");
  EXPECT_NE(main.find(L"release not in the catalogue"), std::wstring::npos) << main;
  EXPECT_NE(main.find(L"\nSHA-1: "), std::wstring::npos) << main;

  // Open elsewhere without sharing: the system's text, and no digest of a part.
  HANDLE locked = CreateFileW((scratch_ / "text.wad").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  std::wstring unreadable = reason(scratch_ / "text.wad", kIdentifyUnreadText);
  CloseHandle(locked);
  EXPECT_EQ(unreadable,
            L"\"" + (scratch_ / "text.wad").wstring() +
                L"\" is in use by another program (close the game or the launcher and try again).");
  EXPECT_EQ(UnreadFileReason(scratch_ / "text.wad", ERROR_LOCK_VIOLATION), unreadable);
  // Other errors keep the system's text.
  EXPECT_EQ(UnreadFileReason(scratch_ / "text.wad", ERROR_CRC),
            L"The file can't be read: " + SystemErrorText(ERROR_CRC));
}

}  // namespace
}  // namespace tvl::testing
