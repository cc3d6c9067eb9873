// The main window: dialog IDD_MAIN_WINDOW and its procedure.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>

#include "platform/file.h"

namespace tvl {

// The file types of the open and save dialogs.
inline constexpr wchar_t kWadFileFilter[] = L"Doom WAD files\0*.wad\0All files\0*.*\0";

// Room for the file dialogs' answer: the longest path the system can name, so that no path is
// too long for it.
inline constexpr DWORD kFileDialogCapacity = 32768;

// A file dialog's answer, and the settings the open and save dialogs share: owner, WAD filters,
// and this object's buffer, which holds the chosen path afterwards.
class WadFileDialog {
 public:
  WadFileDialog(HWND owner, const wchar_t* title) : file_(kFileDialogCapacity, L'\0') {
    settings_.lStructSize = sizeof settings_;
    settings_.hwndOwner = owner;
    settings_.lpstrFilter = kWadFileFilter;
    settings_.nFilterIndex = 1;
    settings_.lpstrFile = file_.data();
    settings_.nMaxFile = kFileDialogCapacity;
    settings_.lpstrTitle = title;
  }
  WadFileDialog(const WadFileDialog&) = delete;
  WadFileDialog& operator=(const WadFileDialog&) = delete;

  OPENFILENAMEW* settings() { return &settings_; }
  // The chosen path, after the dialog returned true.
  Path path() const { return Path(file_.c_str()); }

 private:
  std::wstring file_;
  OPENFILENAMEW settings_ = {};
};

// The main dialog's procedure. The dialog's creation parameter is the path of a file to identify
// at once (const wchar_t*, the command line's argument), or null.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Identifies the file named in the input box and shows the result: the release's title and its
// targets, or the identification error. Returns true when the file was identified.
bool IdentifyInputFile(HWND window);

// A dropped file: puts its path into the input box and identifies it.
void OpenDroppedFile(HWND window, const std::wstring& path);

// The text of the input box, the input path.
Path ReadInputPath(HWND window);

// Whether "Patch in-place" is checked.
bool IsInPlaceChecked(HWND window);

}  // namespace tvl
