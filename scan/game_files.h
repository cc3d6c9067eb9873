// The files a search for game files looks at, and the walk that finds them in the places to look.
// The command line's scan and the Windows program's search share it.
#pragma once

#include <cstddef>
#include <functional>
#include <system_error>
#include <vector>

#include "scan/places.h"
#include "scan/walk.h"

namespace tvl {

// True for a game file: its name ends in .wad, .iwad or .ipk3 (in any case), or its first bytes
// are a WAD header's "IWAD" or "PWAD".
bool IsGameFile(const Path& path);

struct GameFileSearch {
  size_t files_checked = 0;     // files looked at so far
  size_t folders_searched = 0;  // folders listed so far
  bool stopped = false;         // `go_on` said no
};

struct GameFileEvents {
  // A game file, a zip archive (*.zip, to be looked into), or a file named outright as a root;
  // each at most once, however many roots or links lead to it.
  std::function<void(const Path& file, const ScanRoot& root)> found;
  // A folder that could not be listed; the search goes on without it.
  std::function<void(const Path& folder, std::error_code error)> unreadable;
  // A root that is neither a folder nor a file.
  std::function<void(const ScanRoot& root, std::error_code error)> missing;
  // Asked after each file and folder; false stops the search there. Empty: it goes on.
  std::function<bool(const GameFileSearch& search)> go_on;
};

// Searches the roots in order, walking folders as WalkFolder does. Returns the counts, and
// whether it was stopped.
GameFileSearch FindGameFiles(const std::vector<ScanRoot>& roots, ListFolderFn list,
                             const GameFileEvents& events);

}  // namespace tvl
