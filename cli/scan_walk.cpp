#include "cli/scan_walk.h"

#include <algorithm>

namespace tvl::cli {
namespace {

Path Resolved(const Path& folder) {
  std::error_code error;
  Path resolved = std::filesystem::canonical(folder, error);
  return error ? folder : resolved;
}

void Walk(const Path& folder, int depth, ListFolderFn list, std::set<Path>* visited,
          const WalkEvents& events) {
  if (!visited->insert(Resolved(folder)).second) return;
  std::vector<FolderEntry> entries;
  std::error_code error;
  if (!list(folder, &entries, &error)) {
    events.unreadable(folder, error);
    return;
  }
  for (const FolderEntry& entry : entries) {
    if (entry.file) {
      events.file(entry.path);
    } else if (entry.folder && depth < kMaxScanDepth) {
      Walk(entry.path, depth + 1, list, visited, events);
    }
  }
}

}  // namespace

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

void WalkFolder(const Path& root, ListFolderFn list, std::set<Path>* visited,
                const WalkEvents& events) {
  Walk(root, 0, list, visited, events);
}

}  // namespace tvl::cli
