// Program-wide state of tarvelline.exe and its start-up.
#pragma once

#include <windows.h>

#include <cstddef>

#include "catalogue/catalogue.h"

namespace tvl {

// major.minor.build, at most 15 characters.
inline constexpr size_t kProgramVersionSize = 16;

// The main dialog's window, from the start of its initialisation; none before and after it.
extern HWND MainWindow;
// The release of the file in the input box, or none when there is no identified file.
extern const IwadRecord* CurrentIwad;
// The program's version from its version resource ("1.4.1"); empty if that can't be read.
extern wchar_t ProgramVersion[kProgramVersionSize];

// Fills ProgramVersion from the fixed part of the running program's version resource.
void ReadProgramVersion();

// Start-up, then the main dialog, run modally. `input_path` is the file named on the command
// line, or null. Returns the process exit code: the dialog's result, or -1 when the dialog
// cannot be created.
int RunProgram(HINSTANCE instance, const wchar_t* input_path);

}  // namespace tvl
