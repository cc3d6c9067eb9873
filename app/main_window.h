// The main window: dialog IDD_MAIN_WINDOW and its procedure. Its identify step and the readers
// of its state live in identify_step.h, which the patch command uses too.
#pragma once

#include <windows.h>

#include <string>

#include "app/identify_step.h"
#include "platform/file.h"

namespace tvl {

// The main dialog's procedure. The dialog's creation parameter is the path of a file (a WAD file
// or a zip archive) to identify at once (const wchar_t*, the command line's argument), or null.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// A dropped file: puts its path into the input box and identifies it.
void OpenDroppedFile(HWND window, const std::wstring& path);

}  // namespace tvl
