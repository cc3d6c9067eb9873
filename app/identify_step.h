// The window's identify step, and what the patch command reads from the window: the input path
// and the in-place choice. Apart from the dialog procedure, so that the patch command needs the
// window's state without the window needing it back.
#pragma once

#include <windows.h>

#include "platform/file.h"

namespace tvl {

// Identifies the file named in the input box and shows the result: the release's title and its
// targets, or the identification error. Returns true when the file was identified.
bool IdentifyInputFile(HWND window);

// The text of the input box, the input path.
Path ReadInputPath(HWND window);

// Whether "Patch in-place" is checked.
bool IsInPlaceChecked(HWND window);

}  // namespace tvl
