// tvl_screenshots: pictures of the program's windows for people to look at, written into the
// working folder. Run under Wine on an X display by tools/screenshots.sh; the X display's
// contents where each window is are taken with ImageMagick's import.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/main_window.h"
#include "app/program.h"
#include "catalogue/catalogue.h"
#include "resources/about_dialog_ids.h"
#include "resources/program_ids.h"
#include "resources/supported_dialog_ids.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/ui/modal_dialog.h"
#include "tvl_version.h"
#include "ui/about_dialog.h"
#include "ui/supported_dialog.h"

namespace tvl::testing {
namespace {

constexpr DWORD kWaitMs = 30000;
int g_failures = 0;

// Saves the screen area of `window` as the PNG file `name`.
void Save(HWND window, const std::wstring& name) {
  DeleteFileW(name.c_str());
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  GdiFlush();
  RECT rect = {};
  GetWindowRect(window, &rect);
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

}  // namespace
}  // namespace tvl::testing

int main() {
  tvl::ReadProgramVersion();
  tvl::InitIwadCatalogue();
  tvl::testing::About();
  tvl::testing::Supported();
  tvl::testing::MainWindowWithAFile();
  return tvl::testing::g_failures == 0 ? 0 : 1;
}
