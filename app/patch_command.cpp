#include "app/patch_command.h"

#include <algorithm>
#include <string>

#include "app/main_window.h"
#include "app/program.h"
#include "app/ui_calls.h"
#include "app/wait_cursor.h"
#include "patches/patch_folder.h"
#include "platform/file_ops.h"

namespace tvl {
namespace {

constexpr size_t kMessageSize = 512;
constexpr wchar_t kInPlaceQuestion[] =
    L"Are you sure you want to do an in-place patch?\nThe original file will be lost!";

void ShowError(const wchar_t* text) {
  Ui().message_box(MainWindow, text, L"Error", MB_ICONERROR | MB_OK);
}

// `prefix` followed by the system's text for `error`, which keeps its own line ending.
void ShowFileError(const wchar_t* prefix, FileError error) {
  wchar_t system_text[kMessageSize] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), system_text,
                 kMessageSize, nullptr);
  std::wstring text = std::wstring(prefix) + system_text;
  text.resize(std::min(text.size(), kMessageSize - 1));
  ShowError(text.c_str());
}

}  // namespace

Path MakeTempFileName(const Path& folder, FileError* error) {
  return Ui().make_temp_file(folder, error);
}

std::optional<Path> ChooseOutputPath(HWND window) {
  if (IsInPlaceChecked(window)) {
    int answer =
        Ui().message_box(window, kInPlaceQuestion, L"Tarvelline", MB_ICONWARNING | MB_YESNO);
    if (answer != IDYES) return std::nullopt;
    return ReadInputPath(window);
  }
  WadFileDialog dialog(window, L"Save IWAD");
  dialog.settings()->lpstrDefExt = L"wad";
  dialog.settings()->Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
  if (!Ui().get_save_file_name(dialog.settings())) return std::nullopt;
  return dialog.path();
}

void ReportConversion(HWND window, const ConvertReport& report, bool replaces_input) {
  switch (report.status) {
    case ConvertStatus::kConverted:
      // The file in the input box is now the target release: show it as such.
      if (replaces_input) IdentifyInputFile(window);
      Ui().message_box(window, L"IWAD patched successfully!", L"Tarvelline",
                       MB_ICONINFORMATION | MB_OK);
      return;
    case ConvertStatus::kCannotReplace:
      // In place, the original could not be taken away and is untouched.
      if (replaces_input) {
        ShowFileError(L"An error occurred while deleting the file:\n", report.file_error);
        return;
      }
      break;
    case ConvertStatus::kReplaceFailed:
      if (replaces_input) {
        ShowFileError(L"An error occurred while replacing the file:\n", report.file_error);
        return;
      }
      break;
    default:
      break;
  }
  ShowError(L"An error occured while patching.");
}

void RunPatchCommand(HWND window, int target_index) {
  if (!CurrentIwad || target_index < 0 || target_index >= kIwadCount) return;
  std::optional<Path> output = ChooseOutputPath(window);
  if (!output) return;

  WaitCursor wait;
  ConvertRequest request;
  request.input = ReadInputPath(window);
  request.source = CurrentIwad->index;
  request.target = target_index;
  request.output = *output;
  request.temp_folder = Ui().temp_folder();
  request.make_temp = MakeTempFileName;
  request.patch_folder = PatchFolderBesideProgram();
  // Choosing the input file itself in the save dialog replaces it just as in place does.
  bool replaces_input = IsInPlaceChecked(window) || SameFile(request.input, request.output);
  ConvertReport report = ConvertRelease(request);
  ReportConversion(window, report, replaces_input);
}

}  // namespace tvl
