// The window's identify step, and what the patch command reads from the window: the input path,
// the file the conversion reads and the in-place choice. Apart from the dialog procedure, so that
// the patch command needs the window's state without the window needing it back.
#pragma once

#include <windows.h>

#include <string>

#include "app/zip_input.h"
#include "platform/file.h"

namespace tvl {

enum class IdentifyResult {
  kIdentified,
  kFailed,     // the identification error has been shown
  kNotChosen,  // the user backed out of choosing an archive's WAD file: nothing was shown
};

// Identifies the file named in the input box and shows the result: the release's title and its
// targets, or the identification error. A zip archive's WAD file (the one it holds, or the one
// the user chooses) is unpacked into a temporary file and identified from there; the copy stays
// for as long as the window shows it. An archive's `entry` (UTF-8), when given, is the one opened.
IdentifyResult IdentifyInputFile(HWND window, const std::string& entry = {});

// An earlier version's swap, cut short, left the file at `path` as "<name>.tarvelline-backup"
// and "<name>.tarvelline-new". When the folder holds such a piece of it (or `path` is one), the
// clean-up puts it right there and the user is told what it did. Returns the path to open:
// `path`, or the name the opened piece went back under.
Path RepairInterruptedSwap(HWND window, const Path& path);

// Whether IdentifyInputFile is under way: the choice of an archive's WAD file and the error
// message run message loops of their own, which may bring a drop meanwhile.
bool IdentifyingInput();

// The text of the input box, the input path: a WAD file or a zip archive.
Path ReadInputPath(HWND window);

// The archive's entry the window shows, or null when the input is not one.
const ZipInput* InputFromArchive();

// The file the conversion reads: the input path, or the unpacked copy of an archive's entry.
Path ConversionInputPath(HWND window);

// Whether "Patch in-place" is checked; never for a zip archive, which is never changed.
bool IsInPlaceChecked(HWND window);

// The window is going: an archive entry's unpacked copy goes with it.
void ForgetInput();

}  // namespace tvl
