// tarvelline.exe from the outside: started as a user would, with a file argument, and read
// through ordinary window messages from this separate program.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/app/window_probe.h"
#include "tests/test_files.h"
#if defined(TVL_HAVE_SYNTHETIC)
#include "tests/synthetic/synthetic_releases.h"
#include "tests/zip_maker.h"
#include "tvl_version.h"
#endif

namespace tvl::testing {
namespace {

constexpr DWORD kWaitMs = 60000;
constexpr wchar_t kTitle[] = L"Tarvelline v" TVL_VERSION_SHORT;
constexpr wchar_t kPrompt[] = L"Select an IWAD with the ... button above";
// Control ids of the main window.
constexpr int kPatch = 1001, kInput = 1002, kBrowse = 1003, kLabel = 1005, kList = 1006,
              kInPlace = 1007;
// The list of the choice of an archive's WAD file.
constexpr int kEntryList = 1022;

// A program built beside this one.
std::wstring ProgramBesideThis(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

// A started program, ended if a test leaves it running.
class Launched {
 public:
  Launched(const std::wstring& program, const std::wstring& argument) {
    std::wstring command = L"\"" + program + L"\"";
    if (!argument.empty()) command += L" \"" + argument + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &process_) != FALSE;
    EXPECT_TRUE(started_) << "cannot start " << std::string(program.begin(), program.end())
                          << " (error " << GetLastError() << ")";
  }
  ~Launched() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, kWaitMs);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  Launched(const Launched&) = delete;
  Launched& operator=(const Launched&) = delete;

  bool started() const { return started_; }
  DWORD id() const { return process_.dwProcessId; }

  // The exit code once the program has ended, or STILL_ACTIVE.
  DWORD WaitForExit() {
    WaitForSingleObject(process_.hProcess, kWaitMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  // A top-level dialog window of the program with this title, once it is visible.
  HWND WaitForWindow(const wchar_t* title) {
    for (DWORD waited = 0; waited < kWaitMs; waited += 100) {
      if (HWND window = FindWindowOfProcess(title); window && IsWindowVisible(window)) {
        return window;
      }
      if (WaitForSingleObject(process_.hProcess, 100) == WAIT_OBJECT_0) break;
    }
    ADD_FAILURE() << "no window \"" << std::string(title, title + wcslen(title)) << "\"";
    return nullptr;
  }

  // A dialog window (class #32770) of the program with this title.
  HWND FindWindowOfProcess(const wchar_t* title) {
    return FindWindowBy({.title = title, .class_name = L"#32770", .process = id()});
  }

 private:
  PROCESS_INFORMATION process_ = {};
  bool started_ = false;
};

class BlackBoxTest : public ::testing::Test {
 protected:
  ScratchDir scratch_;
};

TEST_F(BlackBoxTest, StartsEmptyAndClosesWithZero) {
  Launched program(ProgramBesideThis(L"tarvelline.exe"), L"");
  ASSERT_TRUE(program.started());
  HWND window = program.WaitForWindow(kTitle);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ItemText(window, kInput), L"");
  EXPECT_EQ(ItemText(window, kLabel), L"");
  EXPECT_EQ(ListTexts(GetDlgItem(window, kList)), std::vector<std::wstring>{kPrompt});
  EXPECT_FALSE(ItemEnabled(window, kInput));
  EXPECT_FALSE(ItemEnabled(window, kList));
  EXPECT_FALSE(ItemEnabled(window, kPatch));
  EXPECT_TRUE(ItemEnabled(window, kBrowse));
  EXPECT_EQ(ItemText(window, kInPlace), L"Patch in-place (overwrite original file)");

  // Escape is not a way out; the close box is.
  PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  Sleep(300);
  EXPECT_TRUE(IsWindowVisible(window));
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST_F(BlackBoxTest, UnknownFileShowsOnlyTheErrorAndExitsWithZero) {
  Path file = scratch_ / "unknown.wad";
  WriteFileText(file, "IWAD, but no release we know");
  Launched program(ProgramBesideThis(L"tarvelline.exe"), file.native());
  ASSERT_TRUE(program.started());
  HWND box = program.WaitForWindow(L"Error");
  ASSERT_NE(box, nullptr);
  std::vector<std::wstring> texts = ChildTexts(box, L"Static");
  // The designed line first; what the file looks like and its digest follow on lines of their own.
  const std::wstring first =
      L"Could not identify the specified WAD file. Please try a valid IWAD.\n";
  EXPECT_NE(std::find_if(texts.begin(), texts.end(),
                         [&](const std::wstring& text) { return text.rfind(first, 0) == 0; }),
            texts.end());
  // The main window exists but has never shown.
  HWND window = program.FindWindowOfProcess(kTitle);
  EXPECT_TRUE(window == nullptr || !IsWindowVisible(window));

  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(program.WaitForExit(), 0u);
}

#if defined(TVL_HAVE_SYNTHETIC)
TEST_F(BlackBoxTest, KnownFileFillsTheWindow) {
  Path file = WriteSyntheticRelease(scratch_.path(), u"doom2_v1666", "doom2.wad");
  // The program built with the test catalogue, which knows the synthetic releases.
  Launched program(ProgramBesideThis(L"tarvelline_synthetic.exe"), file.native());
  ASSERT_TRUE(program.started());
  HWND window = program.WaitForWindow(kTitle);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ItemText(window, kInput), file.native());
  EXPECT_EQ(ItemText(window, kLabel), L"Doom 2 retail v1.666");
  std::vector<std::wstring> targets = ListTexts(GetDlgItem(window, kList));
  ASSERT_EQ(targets.size(), 16u);
  // The built program marks what its store lacks, and no patches folder is beside it.
  EXPECT_EQ(targets.front(), L"Doom 2 retail v1.666 (German) (patch missing)");
  EXPECT_EQ(targets.back(), L"Doom 2 (Zodiac)");
  EXPECT_EQ(std::find(targets.begin(), targets.end(), L"Doom 2 retail v1.666"), targets.end());
  EXPECT_TRUE(ItemEnabled(window, kList));
  EXPECT_FALSE(ItemEnabled(window, kPatch));

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitForExit(), 0u);
}

// An archive of two IWADs named on the command line: the program asks which before its window
// shows, unpacks that one into the temporary folder, and leaves nothing there once closed.
TEST_F(BlackBoxTest, ArchiveAsksWhichIwadAndLeavesNoCopyBehind) {
  const Path archive =
      WriteTestZip(scratch_ / "iwads.zip", {{"doom2.wad", SyntheticReleaseBytes(u"doom2_v1666")},
                                            {"tnt.wad", SyntheticReleaseBytes(u"tnt_psnusa")}});
  const Path temp = scratch_ / "temp";
  ScopedTempFolder temp_folder(temp);
  Launched program(ProgramBesideThis(L"tarvelline_synthetic.exe"), archive.native());
  ASSERT_TRUE(program.started());
  HWND choice = program.WaitForWindow(L"Choose an IWAD");
  ASSERT_NE(choice, nullptr);
  HWND entries = GetDlgItem(choice, kEntryList);
  EXPECT_EQ(ListTexts(entries), (std::vector<std::wstring>{L"doom2.wad", L"tnt.wad"}));
  HWND main_window = program.FindWindowOfProcess(kTitle);
  EXPECT_TRUE(main_window == nullptr || !IsWindowVisible(main_window));
  SendMessageW(entries, LB_SETCURSEL, 1, 0);
  PostMessageW(choice, WM_COMMAND, IDOK, 0);

  HWND window = program.WaitForWindow(kTitle);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ItemText(window, kInput), archive.native());
  EXPECT_EQ(ItemText(window, kLabel), L"TNT: Evilution (PSN, USA)");
  EXPECT_EQ(ItemText(window, kInPlace), L"Patch in-place (not for a zip archive)");
  EXPECT_FALSE(ItemEnabled(window, kInPlace));
  EXPECT_EQ(FileNames(temp).size(), 1u);

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitForExit(), 0u);
  EXPECT_TRUE(FileNames(temp).empty());
}
#endif

}  // namespace
}  // namespace tvl::testing
