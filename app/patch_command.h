// What Patch! does: ask where the result goes, convert, and report the outcome.
#pragma once

#include <windows.h>

#include <optional>

#include "patching/convert.h"
#include "platform/file.h"

namespace tvl {

// Converts the input file (release CurrentIwad) into the release at `target_index`, into a new
// file chosen in the save dialog or in place of the input, and reports the outcome in a message
// box. After a conversion that replaced the input file the window identifies it again.
void RunPatchCommand(HWND window, int target_index);

// Where the result goes: the path chosen in the save dialog, or, in place, the input path once
// the user has confirmed. None when the user backs out.
std::optional<Path> ChooseOutputPath(HWND window);

// A new empty temporary file in `folder`, named through the UI calls.
Path MakeTempFileName(const Path& folder, FileError* error);

// Shows the message box for a finished conversion. `replaces_input` says the output was the
// input file itself.
void ReportConversion(HWND window, const ConvertReport& report, bool replaces_input);

}  // namespace tvl
