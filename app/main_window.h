// The main window: dialog IDD_MAIN_WINDOW and its procedure.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include "platform/file.h"

namespace tvl {

// The file types of the open and save dialogs.
inline constexpr wchar_t kWadFileFilter[] = L"Doom WAD files\0*.wad\0All files\0*.*\0";

// The settings the open and save dialogs share: owner, WAD filters, a MAX_PATH file buffer.
inline OPENFILENAMEW WadFileDialogSettings(HWND owner, wchar_t* file, const wchar_t* title) {
  OPENFILENAMEW settings = {};
  settings.lStructSize = sizeof settings;
  settings.hwndOwner = owner;
  settings.lpstrFilter = kWadFileFilter;
  settings.nFilterIndex = 1;
  settings.lpstrFile = file;
  settings.nMaxFile = MAX_PATH;
  settings.lpstrTitle = title;
  return settings;
}

// The main dialog's procedure. The dialog's creation parameter is the path of a file to identify
// at once (const wchar_t*, the command line's argument), or null.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Identifies the file named in the input box and shows the result: the release's title and its
// targets, or the identification error. Returns true when the file was identified.
bool IdentifyInputFile(HWND window);

// The text of the input box, the input path.
Path ReadInputPath(HWND window);

// Whether "Patch in-place" is checked.
bool IsInPlaceChecked(HWND window);

}  // namespace tvl
