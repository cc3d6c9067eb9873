#include "app/patch_command.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <iterator>
#include <memory>
#include <string>
#include <utility>

#include "app/conversion_worker.h"
#include "app/failure_text.h"
#include "app/identify_step.h"
#include "app/leftover_text.h"
#include "app/patch_availability.h"
#include "app/program.h"
#include "app/ui_calls.h"
#include "patching/leftovers.h"
#include "platform/file_ops.h"
#include "resources/main_window_ids.h"
#include "ui/handle.h"

namespace tvl {
namespace {

constexpr wchar_t kInPlaceQuestion[] =
    L"Are you sure you want to do an in-place patch?\nThe original file will be lost!";
constexpr wchar_t kStopQuestion[] = L"Stop the conversion?\nThe original file stays as it was.";
constexpr wchar_t kPatchButtonText[] = L"Patch!";
constexpr wchar_t kStopButtonText[] = L"Stop";

// The progress bar's id; it exists only while a conversion runs, below the target list and left
// of Patch!, where the template has nothing.
constexpr int kProgressId = 1008;
constexpr RECT kProgressUnits = {7, 179, 112, 189};

// The controls a conversion disables, and gives back as they were. Patch! stays, as Stop.
constexpr int kLockedControls[] = {IDC_BROWSE, IDC_FIND_IWADS, IDC_TARGET_LIST, IDC_IN_PLACE};

void DestroyWindowOf(HWND window) { DestroyWindow(window); }
using OwnedWindow = Owned<HWND, DestroyWindowOf>;

// One running conversion and what the window needs to end it.
struct PatchRun {
  ConversionWorker worker;
  Path output;
  bool replaces_input = false;
  bool close_when_done = false;
  bool asking = false;        // the stop question is open
  bool done_pending = false;  // the conversion ended while it was
  bool enabled[std::size(kLockedControls)] = {};
  OwnedWindow progress_bar;
  ComRef<ITaskbarList3> taskbar;
};

std::unique_ptr<PatchRun> Run;

// A new file is named in full: the save dialog may have started far from where it went.
void ShowSuccess(HWND window, const Path& written) {
  std::wstring text = L"IWAD patched successfully!";
  if (!written.empty()) text += L"\n" + written.wstring();
  Ui().message_box(window, text.c_str(), L"Tarvelline", MB_ICONINFORMATION | MB_OK);
}

void ShowError(HWND window, const std::wstring& reason) {
  std::wstring text = kPatchFailedText;
  if (!reason.empty()) text += L"\n" + reason;
  Ui().message_box(window, text.c_str(), L"Error", MB_ICONERROR | MB_OK);
}

// The system's text follows the designed first line, which keeps its own line ending.
void ShowFileError(HWND window, const wchar_t* prefix, const Path& file, FileError error) {
  std::wstring text = std::wstring(prefix) + FileErrorText(file, error, true) + L"\r\n";
  Ui().message_box(window, text.c_str(), L"Error", MB_ICONERROR | MB_OK);
}

void LockWindow(HWND window, PatchRun* run) {
  for (size_t i = 0; i < std::size(kLockedControls); ++i) {
    HWND control = GetDlgItem(window, kLockedControls[i]);
    run->enabled[i] = IsWindowEnabled(control) != FALSE;
    EnableWindow(control, FALSE);
  }
  ClearRunStatus(window);
  // Patch! becomes Stop, with the focus, so the keyboard reaches it as the mouse does; Escape
  // still asks the same.
  HWND patch = GetDlgItem(window, IDC_PATCH);
  SetWindowTextW(patch, kStopButtonText);
  EnableWindow(patch, TRUE);
  SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(patch), TRUE);

  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  RECT rect = kProgressUnits;
  MapDialogRect(window, &rect);
  run->progress_bar.Attach(CreateWindowExW(
      0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
      rect.bottom - rect.top, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressId)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)), nullptr));
  SendMessageW(run->progress_bar.get(), PBM_SETRANGE32, 0, kProgressRange);

  // Without a taskbar (or its interface) there is just the bar in the window.
  if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(run->taskbar.Receive()))) &&
      SUCCEEDED(run->taskbar->HrInit())) {
    run->taskbar->SetProgressState(window, TBPF_NORMAL);
    run->taskbar->SetProgressValue(window, 0, kProgressRange);
  } else {
    run->taskbar.Close();
  }
}

void UnlockWindow(HWND window, PatchRun* run) {
  if (run->taskbar) run->taskbar->SetProgressState(window, TBPF_NOPROGRESS);
  run->progress_bar.Close();
  for (size_t i = 0; i < std::size(kLockedControls); ++i) {
    EnableWindow(GetDlgItem(window, kLockedControls[i]), run->enabled[i]);
  }
  HWND patch = GetDlgItem(window, IDC_PATCH);
  SetWindowTextW(patch, kPatchButtonText);
  SendMessageW(
      window, WM_NEXTDLGCTL,
      reinterpret_cast<WPARAM>(IsWindowEnabled(patch) ? patch : GetDlgItem(window, IDC_BROWSE)),
      TRUE);
}

constexpr wchar_t kArchiveOutputText[] =
    L"The converted IWAD can't take the place of the zip archive it comes from; choose another "
    L"name.";

// "doom2" and ".wad" to "doom2-doom2_v19.wad".
std::wstring SuggestedName(const std::wstring& stem, const std::wstring& extension,
                           int target_index) {
  std::u16string id = FormatReleaseId(GetIwad(target_index));
  return stem + L"-" + std::wstring(id.begin(), id.end()) +
         (extension.empty() ? std::wstring(L".wad") : extension);
}

}  // namespace

Path MakeTempFileName(const Path& folder, FileError* error) {
  return Ui().make_temp_file(folder, error);
}

std::optional<Path> ChooseOutputPath(HWND window, int target_index) {
  if (IsInPlaceChecked(window)) {
    int answer =
        Ui().message_box(window, kInPlaceQuestion, L"Tarvelline", MB_ICONWARNING | MB_YESNO);
    if (answer != IDYES) return std::nullopt;
    return ReadInputPath(window);
  }
  const Path input = ReadInputPath(window);
  FileDialogRequest request;
  request.owner = window;
  request.save = true;
  request.title = L"Save IWAD";
  request.folder = input.parent_path();
  // Unpacked from an archive, the result is a plain WAD named after the entry.
  const ZipInput* zip = InputFromArchive();
  request.name =
      zip ? SuggestedName(EntryStem(zip->entry), L".wad", target_index)
          : SuggestedName(input.stem().wstring(), input.extension().wstring(), target_index);
  request.default_extension = L"wad";
  return Ui().file_dialog(request);
}

void ReportConversion(HWND window, const ConvertReport& report, const Path& output,
                      bool replaces_input) {
  switch (report.status) {
    case ConvertStatus::kConverted:
      // The file in the input box is now the target release: show it as such.
      if (replaces_input) IdentifyInputFile(window);
      ShowSuccess(window, replaces_input ? Path() : output);
      return;
    case ConvertStatus::kCancelled:
      // The user asked for it; everything is as it was.
      return;
    case ConvertStatus::kCannotReplace:
      // In place, the original could not be taken away and is untouched.
      if (replaces_input) {
        ShowFileError(window, L"An error occurred while deleting the file:\n", output,
                      report.file_error);
        return;
      }
      break;
    case ConvertStatus::kReplaceFailed:
      if (replaces_input) {
        ShowFileError(window, L"An error occurred while replacing the file:\n", output,
                      report.file_error);
        return;
      }
      break;
    default:
      break;
  }
  ShowError(window, ConversionFailureReason(report, output));
}

void RunPatchCommand(HWND window, int target_index) {
  if (Run || !CurrentIwad || target_index < 0 || target_index >= kIwadCount) return;
  ConvertRequest request;
  request.input = ConversionInputPath(window);
  request.source = CurrentIwad->index;
  request.target = target_index;
  request.temp_folder = Ui().temp_folder();
  request.make_temp = MakeTempFileName;
  request.patch_folder = RunTimePatchFolder();
  // Before the user is asked anything: a conversion that can't run says so at once.
  std::u16string missing = FirstMissingPatch(request);
  if (!missing.empty()) {
    ShowError(window, MissingPatchSentence(request.source, request.target, missing));
    return;
  }
  std::optional<Path> output = ChooseOutputPath(window, target_index);
  if (!output) return;
  // Chosen in the save dialog, the archive itself would be replaced by the result.
  if (const ZipInput* zip = InputFromArchive(); zip && SameFile(zip->archive, *output)) {
    ShowError(window, kArchiveOutputText);
    return;
  }
  request.output = *output;

  auto run = std::make_unique<PatchRun>();
  run->output = request.output;
  // Choosing the input file itself in the save dialog replaces it just as in place does.
  run->replaces_input = IsInPlaceChecked(window) || SameFile(request.input, request.output);
  // What a run that was killed left here goes before this run adds its own; what may be the
  // user's only copy is kept, and the user told where.
  LeftoverReport leftovers = CleanUpLeftovers(FolderOf(request.output));
  if (!request.temp_folder.empty()) {
    LeftoverReport in_temp = CleanUpLeftovers(request.temp_folder);
    leftovers.kept.insert(leftovers.kept.end(), in_temp.kept.begin(), in_temp.kept.end());
  }
  if (!leftovers.kept.empty()) {
    Ui().message_box(window, LeftoverText(leftovers).c_str(), L"Tarvelline",
                     MB_ICONINFORMATION | MB_OK);
  }

  LockWindow(window, run.get());
  Run = std::move(run);
  Run->worker.Start(window, std::move(request));
}

bool ConversionRunning() { return Run != nullptr; }

void ShowRunStatus(HWND window, const wchar_t* text) {
  HWND status = GetDlgItem(window, IDC_RUN_STATUS);
  SetWindowTextW(status, text);
  ShowWindow(status, SW_SHOWNA);
}

void ClearRunStatus(HWND window) {
  HWND status = GetDlgItem(window, IDC_RUN_STATUS);
  ShowWindow(status, SW_HIDE);
  SetWindowTextW(status, L"");
}

void OnConversionProgress(HWND window, int permille) {
  if (!Run) return;
  SendMessageW(Run->progress_bar.get(), PBM_SETPOS, static_cast<WPARAM>(permille), 0);
  if (Run->taskbar)
    Run->taskbar->SetProgressValue(window, static_cast<ULONGLONG>(permille), kProgressRange);
}

void OnConversionDone(HWND window) {
  if (!Run) return;
  if (Run->asking) {
    Run->done_pending = true;
    return;
  }
  ConvertReport report = Run->worker.Finish();
  std::unique_ptr<PatchRun> run = std::move(Run);
  UnlockWindow(window, run.get());
  // A stop shows no message box, so the window itself says how it ended.
  if (report.status == ConvertStatus::kCancelled) ShowRunStatus(window, kStoppedText);
  // A conversion that ended before the stop reached it still says what became of the file.
  ReportConversion(window, report, run->output, run->replaces_input);
  if (run->close_when_done) PostMessageW(window, WM_CLOSE, 0, 0);
}

bool OfferToStopConversion(HWND window, bool then_close) {
  if (!Run) return false;
  if (Run->asking) return false;
  // A result already taking its place can't be stopped, and the question would no longer be
  // true: the report follows at once, and the window closes after it if that was asked.
  if (!Run->worker.Hold()) {
    Run->close_when_done = Run->close_when_done || then_close;
    return false;
  }
  Run->asking = true;
  const bool stop =
      Ui().message_box(window, kStopQuestion, L"Tarvelline", MB_ICONQUESTION | MB_YESNO) == IDYES;
  Run->asking = false;
  Run->worker.Resume(stop);
  if (stop) Run->close_when_done = then_close;
  if (Run->done_pending) OnConversionDone(window);
  return stop;
}

void AbandonConversion() {
  if (!Run) return;
  Run->worker.Stop();
  Run->worker.Finish();
  Run.reset();
}

}  // namespace tvl
