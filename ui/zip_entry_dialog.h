// The Choose an IWAD dialog (IDD_ZIP_ENTRY): a zip archive holds more than one WAD file, and the
// user picks the one to open from a list of their names. It knows nothing of archives: it is
// given the names.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvl {

// What the dialog shows and what it answers; WM_INITDIALOG's parameter.
struct ZipEntryChoice {
  std::wstring archive_name;          // the archive's file name, for the prompt
  std::vector<std::wstring> entries;  // the WAD files' names, in the archive's order
  int chosen = -1;                    // the index of the entry chosen with OK
};

// Runs the dialog modally, owned by `owner`. Returns the index of the chosen entry, or -1 after
// Cancel, Escape or the close box, and when the dialog could not be created.
int ShowZipEntryDialog(HWND owner, const std::wstring& archive_name,
                       const std::vector<std::wstring>& entries);

INT_PTR CALLBACK ZipEntryDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace tvl
