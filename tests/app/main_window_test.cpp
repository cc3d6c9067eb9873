// The main window's start, the identification failure, Escape and close: all that needs no
// identifiable file. Runs the real template and procedure in this process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "app/target_list.h"
#include "resources/main_window_ids.h"
#include "resources/program_ids.h"
#include "tests/app/main_window_fixture.h"

namespace tvl::testing {
namespace {

constexpr wchar_t kIdentifyFailedText[] =
    L"Could not identify the specified WAD file. Please try a valid IWAD.";

// The text, state and item data of everything the user sees.
void ExpectNoFileState(HWND window, const std::wstring& input) {
  EXPECT_EQ(ItemText(window, IDC_INPUT_PATH), input);
  EXPECT_FALSE(ItemEnabled(window, IDC_INPUT_PATH));
  EXPECT_EQ(ItemText(window, IDC_RELEASE_LABEL), L"");
  EXPECT_FALSE(ItemEnabled(window, IDC_TARGET_LIST));
  EXPECT_EQ(ListLines(GetDlgItem(window, IDC_TARGET_LIST)),
            (std::vector<ListLine>{{kTargetPromptText, kNoRelease}}));
  EXPECT_FALSE(ItemEnabled(window, IDC_PATCH));
  EXPECT_TRUE(ItemEnabled(window, IDC_BROWSE));
  EXPECT_EQ(CurrentIwad, nullptr);
}

TEST_F(MainWindowTest, StartsWithNoFile) {
  Open();
  EXPECT_EQ(MainWindow, window_);
  EXPECT_EQ(WindowText(window_), L"Tarvelline v" TVL_VERSION_SHORT);
  ExpectNoFileState(window_, L"");
  EXPECT_EQ(SendMessageW(Item(IDC_IN_PLACE), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(IsWindowVisible(window_));
  EXPECT_NE(SendMessageW(window_, WM_GETICON, ICON_BIG, 0), 0);
  // Without an OLE drop target the window takes the shell's plain file drops.
  EXPECT_TRUE(GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

  // A separator, "About...", "Supported IWADs..." and "Find IWADs..." end the system menu.
  HMENU menu = GetSystemMenu(window_, FALSE);
  int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 4);
  EXPECT_EQ(GetMenuState(menu, count - 4, MF_BYPOSITION) & MF_SEPARATOR, UINT{MF_SEPARATOR});
  const struct {
    const wchar_t* text;
    UINT id;
  } items[] = {{L"About...", IDM_ABOUT},
               {L"Supported IWADs...", IDM_SUPPORTED_IWADS},
               {L"Find IWADs...", IDM_FIND_IWADS}};
  for (int i = 0; i < 3; ++i) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, count - 3 + i, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, items[i].text);
    EXPECT_EQ(GetMenuItemID(menu, count - 3 + i), items[i].id);
  }
}

TEST_F(MainWindowTest, SystemMenuOpensAboutAndSupportedIwadsModally) {
  struct Seen {
    HWND owner = nullptr;
    bool owner_enabled = true;
  } about, supported;
  auto look = [](const wchar_t* title, Seen* seen) {
    HWND dialog = FindWindowW(L"#32770", title);
    seen->owner = dialog ? GetWindow(dialog, GW_OWNER) : nullptr;
    seen->owner_enabled = seen->owner && IsWindowEnabled(seen->owner);
    return dialog;
  };
  HWND main = nullptr;
  INT_PTR result = RunModal(
      nullptr, {[&](HWND window) {
                  main = window;
                  PostMessageW(window, WM_SYSCOMMAND, IDM_ABOUT, 0);
                },
                [&](HWND) { PostMessageW(look(L"About", &about), WM_COMMAND, IDCANCEL, 0); },
                [&](HWND window) { PostMessageW(window, WM_SYSCOMMAND, IDM_SUPPORTED_IWADS, 0); },
                [&](HWND) { PostMessageW(look(L"Supported IWADs", &supported), WM_CLOSE, 0, 0); },
                [&](HWND window) {
                  EXPECT_TRUE(IsWindowEnabled(window));
                  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                }});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(about.owner, main);
  EXPECT_FALSE(about.owner_enabled);
  EXPECT_EQ(supported.owner, main);
  EXPECT_FALSE(supported.owner_enabled);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(MainWindowTest, UnknownFileFromTheFileDialogIsReported) {
  Path file = scratch_ / "unknown.wad";
  WriteFileText(file, "IWAD but not a release");
  Open();
  Browse(file);

  ASSERT_EQ(ui_.open_dialogs.size(), 1u);
  const FileDialogRequest& request = ui_.open_dialogs[0];
  EXPECT_EQ(request.owner, window_);
  EXPECT_EQ(request.title, L"Select an IWAD");
  EXPECT_FALSE(request.save);
  EXPECT_EQ(request.name, L"");
  EXPECT_TRUE(request.folder.empty());  // nothing chosen yet
  EXPECT_EQ(request.default_extension, L"");

  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(FirstLine(ui_.messages[0].text), kIdentifyFailedText);
  EXPECT_EQ(ui_.messages[0].caption, L"Error");
  EXPECT_EQ(ui_.messages[0].type, UINT{MB_ICONERROR | MB_OK});
  EXPECT_EQ(ui_.messages[0].owner, window_);
  // The failed path stays for the user to see.
  ExpectNoFileState(window_, file.native());

  // A missing file is no different.
  Browse(scratch_ / "missing.wad");
  EXPECT_EQ(ui_.messages.size(), 2u);
  ExpectNoFileState(window_, (scratch_ / "missing.wad").native());
  // The next dialog starts where the last file was.
  ASSERT_EQ(ui_.open_dialogs.size(), 2u);
  EXPECT_EQ(ui_.open_dialogs[1].folder, scratch_.path());
}

TEST_F(MainWindowTest, CancelledFileDialogChangesNothing) {
  Path file = scratch_ / "unknown.wad";
  WriteFileText(file, "not a release");
  Open();
  Browse(file);
  ui_.CancelFileDialog();
  Click(IDC_BROWSE);
  EXPECT_EQ(ui_.open_dialogs.size(), 2u);
  EXPECT_EQ(ui_.messages.size(), 1u);
  ExpectNoFileState(window_, file.native());
}

TEST_F(MainWindowTest, PatchWithoutATargetDoesNothing) {
  Open();
  Click(IDC_PATCH);
  ForceSelect(0);  // the prompt line names no release
  EXPECT_FALSE(ItemEnabled(window_, IDC_PATCH));
  Click(IDC_PATCH);
  EXPECT_TRUE(ui_.save_dialogs.empty());
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(MainWindowTest, DroppedFilesAreIdentifiedOneAtATime) {
  Path first = scratch_ / "first.wad";
  Path second = scratch_ / "second.wad";
  WriteFileText(first, "one");
  WriteFileText(second, "two");
  Open();
  DropFiles({first, second});
  EXPECT_TRUE(ui_.messages.empty());
  ExpectNoFileState(window_, L"");

  DropFiles({first});
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(FirstLine(ui_.messages[0].text), kIdentifyFailedText);
  ExpectNoFileState(window_, first.native());
}

TEST_F(MainWindowTest, UnknownFileOnTheCommandLineEndsTheProgram) {
  Path file = scratch_ / "unknown.wad";
  WriteFileText(file, "not a release");
  // No steps: the dialog must end by itself, before it ever shows.
  EXPECT_EQ(RunModal(file.c_str(), {}), 0);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(FirstLine(ui_.messages[0].text), kIdentifyFailedText);
  EXPECT_EQ(ui_.messages[0].caption, L"Error");
  EXPECT_FALSE(ui_.messages[0].owner_visible);
  EXPECT_EQ(MainWindow, nullptr);
}

TEST_F(MainWindowTest, EscapeDoesNotCloseButTheCloseBoxDoes) {
  bool still_open_after_escape = false;
  HWND focus_at_start = nullptr;
  HWND browse = nullptr;
  INT_PTR result = RunModal(nullptr, {[&](HWND window) {
                                        browse = GetDlgItem(window, IDC_BROWSE);
                                        focus_at_start = GetFocus();
                                        // Through the dialog's own loop, as a key press arrives.
                                        PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                                        PostMessageW(GetFocus(), WM_KEYUP, VK_ESCAPE, 0xC0010001);
                                      },
                                      [&](HWND window) {
                                        still_open_after_escape = IsWindowVisible(window) != FALSE;
                                        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                                      }});
  EXPECT_EQ(result, 0);
  // Patch! and the input box are disabled, so the first control to take the focus is "...".
  EXPECT_EQ(focus_at_start, browse);
  EXPECT_TRUE(still_open_after_escape);
  EXPECT_TRUE(ui_.messages.empty());
}

}  // namespace
}  // namespace tvl::testing
