// The walk through a folder tree in search of game files.
#pragma once

#include <functional>
#include <set>
#include <system_error>
#include <vector>

#include "platform/disk_identity.h"
#include "platform/file.h"

namespace tvl {

// Deep enough for any launcher's layout (Steam: <game>/base/wads/DOOM.WAD) and for the
// folders people keep their collections in, shallow enough to end on any tree.
inline constexpr int kMaxScanDepth = 12;

struct FolderEntry {
  Path path;
  bool folder;  // a folder, or a link to one
  bool file;    // a regular file, or a link to one; neither for anything else
};

// Lists a folder's entries in name order. False, with the reason, when it cannot be listed.
using ListFolderFn = bool (*)(const Path& folder, std::vector<FolderEntry>* entries,
                              std::error_code* error);
bool ListFolder(const Path& folder, std::vector<FolderEntry>* entries, std::error_code* error);

// Files or folders met so far, by their identity on disk, so that a link, a junction or another
// spelling of a path met before is known; by resolved path where the system cannot tell.
struct Seen {
  std::set<DiskIdentity> identities;
  std::set<Path> paths;
};

// True the first time what `path` leads to is met.
bool FirstVisit(Seen* seen, const Path& path);

struct WalkEvents {
  std::function<void(const Path& file)> file;
  // A folder listed; empty: nobody is told.
  std::function<void(const Path& folder)> folder;
  // A folder that could not be listed; the walk goes on without it.
  std::function<void(const Path& folder, std::error_code error)> unreadable;
  // Asked before each entry; false ends the walk there. Empty: it goes on.
  std::function<bool()> go_on;
};

// Visits every regular file below `root`, down to kMaxScanDepth folders. Links to folders are
// followed, but no folder is entered twice: `folders` holds those entered so far, so links that
// loop end, and so do walks that overlap. False when `go_on` ended it.
bool WalkFolder(const Path& root, ListFolderFn list, Seen* folders, const WalkEvents& events);

}  // namespace tvl
