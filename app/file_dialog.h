// The open and save dialogs: the shell's Common Item Dialog, which takes folders and names of any
// length, and the classic dialog only where that one can't be created.
#pragma once

#include <windows.h>

#include <shtypes.h>

#include <optional>
#include <span>
#include <string>

#include "platform/file.h"

namespace tvl {

// What a file dialog is asked. Both show the WAD file types, "Doom WAD files" first; the open
// dialog's first type takes zip archives too.
struct FileDialogRequest {
  HWND owner = nullptr;
  bool save = false;  // save: overwriting asks first; open: the file must exist
  // Open: a folder is chosen instead of a file. Only the Common Item Dialog offers it.
  bool pick_folder = false;
  std::wstring title;
  // Where it starts; empty: where the system chooses. A folder deeper than the shell can name
  // starts the shell's dialog at its deepest parent that it can.
  Path folder;
  std::wstring name;               // the suggested file name; empty: none
  std::wstring default_extension;  // added to a name typed without one; empty: none
};

// The types the open or save dialog offers, the first chosen at the start.
std::span<const COMDLG_FILTERSPEC> FileTypesFor(bool save);
// The same for the classic dialog: "name\0pattern\0" pairs; the string's own end closes the list.
std::wstring ClassicFilterFor(bool save);

// The system's dialog for `request`: the chosen path, or none when the user backs out.
std::optional<Path> ShowFileDialog(const FileDialogRequest& request);

// The classic dialog alone, for systems without the Common Item Dialog. A start folder and name
// longer than it can hold are left out rather than handed to it.
std::optional<Path> ShowClassicFileDialog(const FileDialogRequest& request);

// Where the classic dialog starts: `request`'s folder and name when it can hold them, else its
// own choice. Empty parts are left out.
struct ClassicDialogStart {
  std::wstring folder;
  std::wstring name;
};
ClassicDialogStart ClassicStartFor(const FileDialogRequest& request);

}  // namespace tvl
