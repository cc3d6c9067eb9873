#include "tests/app/main_window_fixture.h"

#include <commctrl.h>
#include <shlobj.h>

#include <string>

#include "app/main_window.h"
#include "app/patch_command.h"
#include "app/program.h"
#include "app/target_list.h"
#include "platform/wide_text.h"
#include "resources/main_window_ids.h"
#include "resources/program_ids.h"
#include "tests/ui/fake_data_object.h"

namespace tvl::testing {

void MainWindowTest::SetUp() {
  InitIwadCatalogue();
  ReadProgramVersion();
  MainWindow = nullptr;
  CurrentIwad = nullptr;
  std::filesystem::create_directory(scratch_.path() / "temp");
  ui_.SetTempFolder(scratch_.path() / "temp");
}

void MainWindowTest::TearDown() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

HWND MainWindowTest::Open(const wchar_t* command_line_file) {
  window_ =
      CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr,
                         MainDialogProc, reinterpret_cast<LPARAM>(command_line_file));
  EXPECT_NE(window_, nullptr);
  return window_;
}

void MainWindowTest::Click(int id) {
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
  if (id == IDC_PATCH) {
    EXPECT_TRUE(PumpUntil([] { return !ConversionRunning(); })) << "the conversion never ended";
  }
}

void MainWindowTest::StartPatch() {
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_PATCH, BN_CLICKED),
               reinterpret_cast<LPARAM>(Item(IDC_PATCH)));
}

bool MainWindowTest::PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!window_ || !IsDialogMessageW(window_, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  return true;
}

void MainWindowTest::Browse(const Path& file) {
  ui_.ChooseFile(file);
  Click(IDC_BROWSE);
}

void MainWindowTest::ClickTarget(int line) {
  HWND list = Item(IDC_TARGET_LIST);
  RECT rect = {};
  ASSERT_NE(SendMessageW(list, LB_GETITEMRECT, line, reinterpret_cast<LPARAM>(&rect)), LB_ERR);
  LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
  SendMessageW(list, WM_LBUTTONUP, 0, point);
}

void MainWindowTest::ForceSelect(int line) {
  HWND list = Item(IDC_TARGET_LIST);
  SendMessageW(list, LB_SETCURSEL, line, 0);
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_TARGET_LIST, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

int MainWindowTest::LineOf(std::u16string_view title) {
  std::wstring wide(title.begin(), title.end());
  std::vector<std::wstring> texts = ListTexts(Item(IDC_TARGET_LIST));
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i] == wide || texts[i] == wide + kPatchMissingMark) return static_cast<int>(i);
  }
  return -1;
}

void MainWindowTest::DropFiles(const std::vector<Path>& files) {
  std::vector<std::wstring> names;
  for (const Path& file : files) names.push_back(file.native());
  HGLOBAL memory = MakeDropFiles(names);
  ASSERT_NE(memory, nullptr);
  // The window owns the drop from here (DragFinish).
  SendMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

HWND FindTooltip(HWND owner) {
  return FindWindowBy(
      {.class_name = TOOLTIPS_CLASSW, .thread = GetCurrentThreadId(), .owner = owner});
}

std::wstring TooltipText(HWND tooltip, HWND owner, int id) {
  std::wstring text(4096, L'\0');
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = owner;
  tool.uId = static_cast<UINT_PTR>(id);
  tool.lpszText = text.data();
  SendMessageW(tooltip, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
  return text.c_str();
}

namespace {

struct ModalRun {
  std::vector<std::function<void(HWND)>> steps;
  size_t next = 0;
  unsigned ticks = 0;
};
ModalRun* g_run = nullptr;

constexpr unsigned kTickMs = 20;
constexpr unsigned kMaxTicks = 500;  // ten seconds

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
  ModalRun& run = *g_run;
  ++run.ticks;
  HWND window = MainWindow;
  if (!window) return;
  if (run.next < run.steps.size()) {
    run.steps[run.next++](window);
  } else if (run.ticks > kMaxTicks) {
    EndDialog(window, kModalTimedOut);
  }
}

}  // namespace

INT_PTR RunModal(const wchar_t* command_line_file, std::vector<std::function<void(HWND)>> steps) {
  ModalRun run{std::move(steps)};
  g_run = &run;
  UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, OnTick);
  INT_PTR result =
      DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr,
                      MainDialogProc, reinterpret_cast<LPARAM>(command_line_file));
  KillTimer(nullptr, timer);
  g_run = nullptr;
  EXPECT_EQ(run.next, run.steps.size()) << "the dialog ended before every step ran";
  return result;
}

}  // namespace tvl::testing
