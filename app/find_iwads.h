// The main window's Find IWADs dialog: the usual places searched as the command line's scan
// searches them, files identified as the window identifies them, and folders chosen through the
// program's file dialog.
#pragma once

#include <windows.h>

#include <optional>

#include "scan/found_iwads.h"
#include "ui/find_iwads_dialog.h"

namespace tvl {

// What the dialog is given: this machine's usual places, identification by the SHA-1 of each
// file (an archive's WAD files unpacked into the UI calls' temporary folder and removed at once),
// and the folder picker of the UI calls.
FindIwadsSetup MainWindowFindIwadsSetup();

// Runs the dialog over `window`; the file the user opened in it, or none.
std::optional<FoundIwad> AskForFoundIwad(HWND window);

}  // namespace tvl
