// The Find IWADs dialog (IDD_FIND_IWADS): searches the places game files are kept, and any
// folder the user adds, on a worker thread, listing each file found with its release, where it is
// and the place it was found in. The user opens one of them. It knows nothing of the window that
// opens it: it is given the places, how to identify a file and how to ask for a folder.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

#include "scan/found_iwads.h"
#include "scan/places.h"
#include "scan/walk.h"

namespace tvl {

struct FindIwadsSetup {
  std::vector<ScanRoot> roots;  // searched as the dialog opens
  ListFolderFn list = ListFolder;
  // Identifies a file the search found. Runs on the worker thread: it must not touch windows.
  std::function<std::vector<FoundIwad>(const Path& file, const ScanRoot& root)> identify;
  // Asks the user for a folder to search too; none when the user backs out.
  std::function<std::optional<Path>(HWND owner)> choose_folder;
};

// Runs the dialog modally, owned by `owner`. Returns the file the user opened with Open, Enter
// or a double click; none after Close, Escape or the close box, or when the dialog could not be
// created. The search is stopped and its thread ended before it returns.
std::optional<FoundIwad> ShowFindIwadsDialog(HWND owner, FindIwadsSetup setup);

INT_PTR CALLBACK FindIwadsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Posted by the worker: the counts have changed, rows are waiting, the search has ended.
inline constexpr UINT kFindIwadsProgressMessage = WM_APP + 40;
inline constexpr UINT kFindIwadsRowsMessage = WM_APP + 41;
inline constexpr UINT kFindIwadsDoneMessage = WM_APP + 42;

}  // namespace tvl
