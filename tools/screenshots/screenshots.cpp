// tvl_screenshots: pictures of the program's windows for people to look at, written into the
// working folder. Run under Wine on an X display by tools/screenshots.sh; the X display's
// contents where each window is are taken with ImageMagick's import.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "app/conversion_worker.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/ui_calls.h"
#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "platform/file_ops.h"
#include "resources/about_dialog_ids.h"
#include "resources/main_window_ids.h"
#include "resources/program_ids.h"
#include "resources/supported_dialog_ids.h"
#include "resources/zip_entry_dialog_ids.h"
#include "tests/app/window_probe.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/ui/modal_dialog.h"
#include "tests/zip_maker.h"
#include "tvl_version.h"
#include "ui/about_dialog.h"
#include "ui/ole_session.h"
#include "ui/supported_dialog.h"

namespace tvl::testing {
namespace {

constexpr DWORD kWaitMs = 30000;
int g_failures = 0;

// Saves the screen area `rect` as the PNG file `name`.
void SaveRect(RECT rect, const std::wstring& name) {
  DeleteFileW(name.c_str());
  // Wine starts a Unix program without waiting for it, so the picture is written under another
  // name and renamed when complete.
  std::wstring partial = L"partial-" + name;
  std::wstring command = L"Z:\\bin\\sh -c \"import -window root -crop " +
                         std::to_wstring(rect.right - rect.left) + L"x" +
                         std::to_wstring(rect.bottom - rect.top) + L"+" +
                         std::to_wstring(rect.left) + L"+" + std::to_wstring(rect.top) +
                         L" +repage '" + partial + L"' && mv '" + partial + L"' '" + name + L"'\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (DWORD waited = 0; waited < kWaitMs; waited += 100) {
      if (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::fwprintf(stdout, L"%ls\n", name.c_str());
        return;
      }
      Sleep(100);
    }
  }
  std::fwprintf(stderr, L"tvl_screenshots: no picture for %ls\n", name.c_str());
  ++g_failures;
}

// Saves the screen area of `window`, and of `also` over it when given, as the PNG file `name`.
void Save(HWND window, const std::wstring& name, HWND also = nullptr) {
  for (HWND shown : {window, also}) {
    if (shown)
      RedrawWindow(shown, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  GdiFlush();
  RECT rect = {}, other = {};
  GetWindowRect(window, &rect);
  if (also) {
    GetWindowRect(also, &other);
    UnionRect(&rect, &rect, &other);
  }
  SaveRect(rect, name);
}

// Saves the dialog, then closes it.
DialogStep SaveAndClose(const wchar_t* name) {
  return [name](HWND dialog) {
    Save(dialog, name);
    EndDialog(dialog, 1);
  };
}

void About() {
  auto show = [] { return ShowAboutDialog(nullptr, ProgramVersion); };
  // The mouse over the link, as a user about to click it.
  RunModalDialog(L"About", show,
                 {[](HWND dialog) {
                    SendMessageW(GetDlgItem(dialog, IDC_ABOUT_LINK), WM_MOUSEMOVE, 0,
                                 MAKELPARAM(2, 2));
                  },
                  SaveAndClose(L"about-dialog.png")});
  // The link with the keyboard focus, one Tab from Close.
  RunModalDialog(L"About", show,
                 {[](HWND dialog) { PressKey(dialog, VK_TAB); },
                  SaveAndClose(L"about-dialog-link-focus.png")});
}

void Supported() {
  RunModalDialog(L"Supported IWADs", [] { return ShowSupportedIwadsDialog(nullptr); },
                 {[](HWND dialog) {
                    HWND combo = GetDlgItem(dialog, IDC_SUPPORTED_FILTER);
                    SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(L"doom"));
                    SendMessageW(dialog, WM_COMMAND,
                                 MAKEWPARAM(IDC_SUPPORTED_FILTER, CBN_SELCHANGE),
                                 reinterpret_cast<LPARAM>(combo));
                    HWND list = GetDlgItem(dialog, IDC_SUPPORTED_LIST);
                    SendMessageW(list, LB_SELECTSTRING, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(L"The Ultimate Doom retail v1.9"));
                    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SUPPORTED_LIST, LBN_SELCHANGE),
                                 reinterpret_cast<LPARAM>(list));
                  },
                  SaveAndClose(L"supported-iwads-dialog.png")});
}

// The main window with a known file (a synthetic release), as the program shows it when a file
// is named on its command line.
void MainWindowWithAFile() {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const Path file = WriteSyntheticRelease(folder, u"doom2_v1666", "doom2.wad");
  RunModalDialog(L"Tarvelline v" TVL_VERSION_SHORT,
                 [&file] {
                   return DialogBoxParamW(GetModuleHandleW(nullptr),
                                          MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr,
                                          MainDialogProc, reinterpret_cast<LPARAM>(file.c_str()));
                 },
                 {SaveAndClose(L"tarvelline-main-window.png")});
  DeleteFileW(file.c_str());
}

// The visible window of this process titled `title`, waited for; null when none came.
HWND WaitForWindow(const wchar_t* title) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
    if (HWND window = FindProcessWindow(title)) {
      // Painted, as the user would see it.
      Sleep(400);
      return window;
    }
    Sleep(50);
  }
  std::fwprintf(stderr, L"tvl_screenshots: no window %ls\n", title);
  ++g_failures;
  return nullptr;
}

void Press(HWND window, int id) {
  if (window) PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// Runs the main window on `file` with `user` acting on it from another thread, as a person at
// the screen would; `user` gets the window and closes it when done.
void WithMainWindow(const Path& file, const std::function<void(HWND)>& user) {
  std::thread actor([&] {
    HWND window = WaitForWindow(L"Tarvelline v" TVL_VERSION_SHORT);
    if (window) user(window);
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  });
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr,
                  MainDialogProc, reinterpret_cast<LPARAM>(file.c_str()));
  actor.join();
}

void SelectTarget(HWND window, const wchar_t* title) {
  HWND list = GetDlgItem(window, IDC_TARGET_LIST);
  SendMessageW(list, LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(title));
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TARGET_LIST, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

Path TempPath() {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  return Path(folder);
}

// Save-as from a folder longer than MAX_PATH: the shell's dialog opens there with the suggested
// name, and the result is written beside the input.
void SaveFromADeepFolder() {
  // A folder of its own each run: a result left by an earlier one would bring up the question
  // whether to replace it.
  std::wstring folder =
      L"\\\\?\\" + (TempPath() / (L"shots-" + std::to_wstring(GetTickCount64()))).wstring();
  CreateDirectoryW(folder.c_str(), nullptr);
  for (int level = 0; folder.size() < 430; ++level) {
    folder += L"\\" + std::wstring(49, L'd') + static_cast<wchar_t>(L'a' + level);
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  const Path deep(folder.substr(4));
  const Path file = WriteSyntheticRelease(deep, u"doom2_v1666", "doom2.wad");
  WithMainWindow(file, [&](HWND window) {
    SelectTarget(window, L"Doom 2 retail v1.9");
    Press(window, IDC_PATCH);
    HWND dialog = WaitForWindow(L"Save IWAD");
    if (!dialog) return;
    Sleep(1000);
    Save(dialog, L"save-dialog-deep-folder.png");
    Press(dialog, IDOK);
    HWND done = WaitForWindow(L"Tarvelline");
    Save(window, L"save-deep-folder-done.png", done);
    Press(done, IDOK);
  });
  // Where the shell's dialog could start: Wine's shell names no folder past MAX_PATH, so the
  // nearest parent it can.
  for (Path at = deep; at != TempPath().parent_path() && at != at.root_path();
       at = at.parent_path()) {
    const std::wstring written = L"\\\\?\\" + (at / L"doom2-doom2_v19.wad").wstring();
    if (GetFileAttributesW(written.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    std::fwprintf(stdout, L"deep folder of %zu characters: result written %zu characters deep\n",
                  deep.native().size(), at.native().size());
    return;
  }
  std::fwprintf(stderr, L"tvl_screenshots: no result from the deep folder\n");
  ++g_failures;
}

// Stop during an in-place conversion, the worker let go while the question is open: the
// question stays true, and "Yes" leaves the original, which the window then says.
void StopQuestion() {
  const Path file = WriteSyntheticRelease(TempPath(), u"doom2_xbox", "doom2.wad");
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> held{false};
  SetConversionProbe([&](uint64_t, uint64_t) {
    if (!held.exchange(true)) WaitForSingleObject(release, kWaitMs);
  });
  WithMainWindow(file, [&](HWND window) {
    SelectTarget(window, L"Doom 2 (Zodiac)");
    SendMessageW(GetDlgItem(window, IDC_IN_PLACE), BM_SETCHECK, BST_CHECKED, 0);
    Press(window, IDC_PATCH);
    Press(WaitForWindow(L"Tarvelline"), IDYES);
    for (int i = 0; i < 200 && !held; ++i) Sleep(50);
    Save(window, L"stop-button-running.png");
    Press(window, IDC_PATCH);
    HWND question = WaitForWindow(L"Tarvelline");
    SetEvent(release);
    // The worker would have finished by now, had it not waited for the answer.
    Sleep(1500);
    Save(window, L"stop-question-open.png", question);
    Press(question, IDYES);
    Sleep(1500);
    Save(window, L"stop-question-after-yes.png");
  });
  SetConversionProbe(nullptr);
  CloseHandle(release);
  std::fwprintf(
      stdout, L"after Yes the input is %ls\n",
      IdentifyIwad(file) == FindIwadByReleaseId(u"doom2_xbox") ? L"the original" : L"CHANGED");
}

// A release pair whose patch this build lacks.
void MissingPatch() {
  const Path file = WriteSyntheticRelease(TempPath(), u"tnt_psneur", "tnt.wad");
  WithMainWindow(file, [&](HWND window) {
    SelectTarget(window, L"TNT: Evilution");
    // The list marks it before Patch! is pressed.
    Save(window, L"target-list-patch-missing.png");
    Press(window, IDC_PATCH);
    HWND error = WaitForWindow(L"Error");
    Save(window, L"missing-patch.png", error);
    Press(error, IDOK);
  });
}

Path RefuseTempFile(const Path&, FileError* error) {
  if (error) *error = ERROR_ACCESS_DENIED;
  return {};
}

// A folder the user may not write in: Wine, run as root, has none, so the temporary file is
// refused as such a folder would refuse it.
void ReadOnlyFolder() {
  const Path file = WriteSyntheticRelease(TempPath(), u"doom2_v1666", "doom2.wad");
  Ui().make_temp_file = RefuseTempFile;
  WithMainWindow(file, [&](HWND window) {
    SelectTarget(window, L"Doom 2 retail v1.9");
    SendMessageW(GetDlgItem(window, IDC_IN_PLACE), BM_SETCHECK, BST_CHECKED, 0);
    Press(window, IDC_PATCH);
    Press(WaitForWindow(L"Tarvelline"), IDYES);
    HWND error = WaitForWindow(L"Error");
    Save(window, L"read-only-folder-in-place.png", error);
    Press(error, IDOK);
  });
  Ui() = SystemUiCalls();
}

// An archive of two IWADs named on the command line: the choice of the one to open, then the
// main window showing the chosen release.
void ZippedIwads() {
  const Path archive = TempPath() / "iwads.zip";
  WriteTestZip(archive, {{"doom2/DOOM2.WAD", SyntheticReleaseBytes(u"doom2_v1666")},
                         {"tnt/TNT.WAD", SyntheticReleaseBytes(u"tnt_psnusa")},
                         {"plutonia/PLUTONIA.WAD", SyntheticReleaseBytes(u"tnt_v19")}});
  std::thread actor([] {
    HWND choice = WaitForWindow(L"Choose an IWAD");
    if (!choice) return;
    SendDlgItemMessageW(choice, IDC_ZIP_ENTRY_LIST, LB_SETCURSEL, 1, 0);
    Save(choice, L"zip-entry-dialog.png");
    Press(choice, IDOK);
    HWND window = WaitForWindow(L"Tarvelline v" TVL_VERSION_SHORT);
    if (!window) return;
    SelectTarget(window, L"TNT: Evilution");
    Save(window, L"tarvelline-main-window-zip.png");
    PostMessageW(window, WM_CLOSE, 0, 0);
  });
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr,
                  MainDialogProc, reinterpret_cast<LPARAM>(archive.c_str()));
  actor.join();
  DeleteFileW(archive.c_str());
}

}  // namespace
}  // namespace tvl::testing

int main() {
  tvl::ReadProgramVersion();
  tvl::InitIwadCatalogue();
  tvl::testing::About();
  tvl::testing::Supported();
  tvl::testing::MainWindowWithAFile();
  tvl::OleSession ole;
  tvl::testing::SaveFromADeepFolder();
  tvl::testing::StopQuestion();
  tvl::testing::MissingPatch();
  tvl::testing::ReadOnlyFolder();
  tvl::testing::ZippedIwads();
  return tvl::testing::g_failures == 0 ? 0 : 1;
}
