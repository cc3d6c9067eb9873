// The main window: dialog IDD_MAIN_WINDOW and its procedure.
#pragma once

#include <windows.h>

#include <string>

#include "platform/file.h"

namespace tvl {

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
