// The calls through which the program asks the user something or names temporary files: message
// boxes, the open and save dialogs, the choice of a zip archive's WAD file, the temporary folder
// and temporary files. The program uses
// the system's; tests put scripted answers in their place and record what was shown. Everything
// else (windows, controls, files) is real in both.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/file_dialog.h"
#include "platform/file.h"

namespace tvl {

struct UiCalls {
  int(WINAPI* message_box)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
  // The open or save dialog: the chosen path, or none.
  std::optional<Path> (*file_dialog)(const FileDialogRequest& request);
  // Which of an archive's WAD files to open: the index into `entries`, or -1 for none.
  int (*choose_zip_entry)(HWND owner, const std::wstring& archive_name,
                          const std::vector<std::wstring>& entries);
  Path (*temp_folder)();
  // Creates a new empty file with a unique name in the folder; an empty path on failure.
  Path (*make_temp_file)(const Path& folder, FileError* error);
};

// The system's calls.
const UiCalls& SystemUiCalls();

// The calls in use; the system's unless a test has replaced them.
UiCalls& Ui();

}  // namespace tvl
