#include "scan/walk.h"

#include <algorithm>

namespace tvl {
namespace {

bool Walk(const Path& folder, int depth, ListFolderFn list, Seen* folders,
          const WalkEvents& events) {
  if (!FirstVisit(folders, folder)) return true;
  std::vector<FolderEntry> entries;
  std::error_code error;
  if (!list(folder, &entries, &error)) {
    events.unreadable(folder, error);
    return true;
  }
  if (events.folder) events.folder(folder);
  for (const FolderEntry& entry : entries) {
    if (events.go_on && !events.go_on()) return false;
    if (entry.file) {
      events.file(entry.path);
    } else if (entry.folder && depth < kMaxScanDepth) {
      if (!Walk(entry.path, depth + 1, list, folders, events)) return false;
    }
  }
  return true;
}

}  // namespace

bool FirstVisit(Seen* seen, const Path& path) {
  DiskIdentity identity;
  if (GetDiskIdentity(path, &identity)) return seen->identities.insert(identity).second;
  std::error_code error;
  Path resolved = std::filesystem::weakly_canonical(path, error);
  return seen->paths.insert(error ? path : resolved).second;
}

bool ListFolder(const Path& folder, std::vector<FolderEntry>* entries, std::error_code* error) {
  entries->clear();
  std::filesystem::directory_iterator it(folder, *error), end;
  for (; !*error && it != end; it.increment(*error)) {
    std::error_code type_error;
    // Both follow links; a dangling link is neither.
    bool is_folder = it->is_directory(type_error);
    bool is_file = !is_folder && it->is_regular_file(type_error);
    entries->push_back({it->path(), is_folder, is_file});
  }
  if (*error) return false;
  std::sort(entries->begin(), entries->end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.path < b.path; });
  return true;
}

bool WalkFolder(const Path& root, ListFolderFn list, Seen* folders, const WalkEvents& events) {
  return Walk(root, 0, list, folders, events);
}

}  // namespace tvl
