#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <optional>
#include <string>

#include "app/conversion_worker.h"
#include "app/failure_text.h"
#include "app/find_iwads.h"
#include "app/patch_command.h"
#include "app/program.h"
#include "app/target_list.h"
#include "app/ui_calls.h"
#include "resources/main_window_ids.h"
#include "resources/program_ids.h"
#include "ui/about_dialog.h"
#include "ui/accessibility.h"
#include "ui/drop_target.h"
#include "ui/supported_dialog.h"
#include "zip/zipped_file.h"

namespace tvl {
namespace {

// The window's registered drop target, from initialisation until the window goes; none when the
// window takes plain shell drops instead.
TvlDropTarget* MainDropTarget = nullptr;

constexpr size_t kTitleSize = 64;

// The target list's label sits above it but, in the tab order, before the release label, which
// screen readers would read out instead. Same text as the label.
constexpr wchar_t kTargetListName[] = L"Select the version you wish to patch it to:";

// The tooltip that shows the whole input path; the dialog owns it, so it goes with the window.
HWND InputTooltip = nullptr;

// The input box is disabled, so it takes no mouse messages: the tool is its rectangle on the
// dialog, which gets them instead.
void CreateInputTooltip(HWND window) {
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  InputTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window,
                                 nullptr, nullptr, nullptr);
  if (!InputTooltip) return;
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = window;
  tool.uId = IDC_INPUT_PATH;
  tool.lpszText = const_cast<wchar_t*>(L"");
  HWND input = GetDlgItem(window, IDC_INPUT_PATH);
  GetWindowRect(input, &tool.rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&tool.rect), 2);
  SendMessageW(InputTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  // Long paths wrap instead of running off the screen.
  SendMessageW(InputTooltip, TTM_SETMAXTIPWIDTH, 0, 600);
}

void SetInputTooltip(HWND window, const wchar_t* text) {
  if (!InputTooltip) return;
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = window;
  tool.uId = IDC_INPUT_PATH;
  tool.lpszText = const_cast<wchar_t*>(text);
  SendMessageW(InputTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void SetInputPath(HWND window, const wchar_t* path) {
  HWND input = GetDlgItem(window, IDC_INPUT_PATH);
  SetWindowTextW(input, path);
  // Shows the end of the path, the file's name, when the whole does not fit.
  const LRESULT length = GetWindowTextLengthW(input);
  SendMessageW(input, EM_SETSEL, static_cast<WPARAM>(length), length);
  SendMessageW(input, EM_SCROLLCARET, 0, 0);
  SetInputTooltip(window, path);
}

// Puts `path` into the input box and identifies the file. Of an archive, the tooltip then names
// the entry shown too, as "archive//entry".
IdentifyResult OpenInput(HWND window, const wchar_t* path, const std::string& entry = {}) {
  // How the last conversion ended was about the file before.
  ClearRunStatus(window);
  // What an interrupted swap left of the file is put right first; the window follows the file.
  const Path opened = RepairInterruptedSwap(window, Path(path));
  SetInputPath(window, opened.c_str());
  const IdentifyResult result = IdentifyInputFile(window, entry);
  if (const ZipInput* zip = InputFromArchive()) {
    SetInputTooltip(window, WideFromUtf8(ZipEntryLabel(zip->archive, zip->entry)).c_str());
  }
  return result;
}

void OnInitDialog(HWND window, const wchar_t* input_path) {
  MainWindow = window;

  wchar_t title[kTitleSize] = {};
  std::swprintf(title, kTitleSize, L"Tarvelline v%ls", ProgramVersion);
  SetWindowTextW(window, title);

  // Shared, so the system owns the icon and nothing has to destroy it.
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
  HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, 0, 0,
                           LR_DEFAULTSIZE | LR_SHARED);
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

  // The input box only ever shows the path; it is never typed into.
  EnableWindow(GetDlgItem(window, IDC_INPUT_PATH), FALSE);
  EnableWindow(GetDlgItem(window, IDC_TARGET_LIST), FALSE);
  EnableWindow(GetDlgItem(window, IDC_PATCH), FALSE);
  ResetTargetList(window);
  SetDlgItemTextW(window, IDC_RELEASE_LABEL, L"");
  SetAccessibleName(GetDlgItem(window, IDC_TARGET_LIST), kTargetListName);
  CreateInputTooltip(window);

  // Drops through OLE with the shell's drag image, or plain shell drops (WM_DROPFILES) without.
  MainDropTarget = RegisterDropTarget(window);

  HMENU menu = GetSystemMenu(window, FALSE);
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, IDM_ABOUT, L"About...");
  AppendMenuW(menu, MF_STRING, IDM_SUPPORTED_IWADS, L"Supported IWADs...");
  AppendMenuW(menu, MF_STRING, IDM_FIND_IWADS, L"Find IWADs...");

  if (input_path) {
    // An unknown file named on the command line ends the program after the error message,
    // before the window has ever shown. An archive whose choice of WAD file the user backed out
    // of opens the window, with nothing identified.
    if (OpenInput(window, input_path) == IdentifyResult::kFailed) EndDialog(window, 0);
  }
}

void OnBrowse(HWND window) {
  if (ConversionRunning() || IdentifyingInput()) return;
  FileDialogRequest request;
  request.owner = window;
  request.title = L"Select an IWAD";
  // Where the last file came from, however deep: the next is most often beside it.
  request.folder = ReadInputPath(window).parent_path();
  std::optional<Path> chosen = Ui().file_dialog(request);
  if (!chosen) return;
  OpenInput(window, chosen->c_str());
}

// The file the user opens in the Find IWADs dialog goes in as a drop does; an archive's entry
// found there is opened without asking which.
void OnFindIwads(HWND window) {
  if (ConversionRunning() || IdentifyingInput()) return;
  std::optional<FoundIwad> found = AskForFoundIwad(window);
  if (!found || ConversionRunning() || IdentifyingInput()) return;
  OpenInput(window, found->file.c_str(), found->entry);
}

}  // namespace

void OpenDroppedFile(HWND window, const std::wstring& path) {
  // The file being converted stays the window's file until the conversion ends, and the file
  // being identified until it is shown.
  if (ConversionRunning() || IdentifyingInput()) return;
  OpenInput(window, path.c_str());
}

namespace {

// While a conversion runs the button reads "Stop" and asks as Escape does.
void OnPatch(HWND window) {
  if (ConversionRunning()) {
    OfferToStopConversion(window, false);
    return;
  }
  int target = SelectedTarget(window);
  if (target < 0) return;
  RunPatchCommand(window, target);
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window, reinterpret_cast<const wchar_t*>(lparam));
      return TRUE;

    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDC_PATCH:
          OnPatch(window);
          break;
        case IDC_BROWSE:
          OnBrowse(window);
          break;
        case IDC_FIND_IWADS:
          OnFindIwads(window);
          break;
        case IDC_TARGET_LIST:
          if (HIWORD(wparam) == LBN_SELCHANGE) UpdatePatchButton(window);
          break;
        case IDCANCEL:
          // Escape closes nothing; during a conversion it offers to stop it.
          if (ConversionRunning()) OfferToStopConversion(window, false);
          break;
        default:
          break;
      }
      return TRUE;

    case WM_SYSCOMMAND:
      switch (wparam) {
        case IDM_ABOUT:
          ShowAboutDialog(window, ProgramVersion);
          return TRUE;
        case IDM_SUPPORTED_IWADS:
          ShowSupportedIwadsDialog(window);
          return TRUE;
        case IDM_FIND_IWADS:
          OnFindIwads(window);
          return TRUE;
        default:
          return FALSE;
      }

    case WM_DROPFILES:
      AcceptDroppedFiles(window, reinterpret_cast<HDROP>(wparam), OpenDroppedFile);
      return TRUE;

    case kDroppedPathMessage:
      // A drop's path, handed on by the drop target once the drag source was free again.
      DeliverDroppedPath(window, OpenDroppedFile);
      return TRUE;

    case kConversionProgressMessage:
      OnConversionProgress(window, static_cast<int>(wparam));
      return TRUE;

    case kConversionDoneMessage:
      OnConversionDone(window);
      return TRUE;

    case WM_CLOSE:
      // The window goes once the conversion has ended and cleaned up, if the user wants it to.
      if (ConversionRunning()) {
        OfferToStopConversion(window, true);
        return TRUE;
      }
      EndDialog(window, 0);
      return TRUE;

    case WM_DESTROY:
      // Every way the window goes (the close box, an unknown file on the command line) passes
      // here: the drop target is revoked before the window is gone.
      // The worker never outlives the window.
      AbandonConversion();
      // The unpacked copy of an archive's entry was the conversion's input until now.
      ForgetInput();
      InputTooltip = nullptr;
      RevokeDropTarget(window, MainDropTarget);
      MainDropTarget = nullptr;
      // A drop whose message is still queued is never handled now.
      DiscardDroppedPaths(window);
      if (MainWindow == window) MainWindow = nullptr;
      return FALSE;

    default:
      return FALSE;
  }
}

}  // namespace tvl
