#include "scan/game_files.h"

#include <filesystem>

#include "catalogue/wad_inspect.h"
#include "zip/zipped_file.h"

namespace tvl {
namespace {

bool HasGameExtension(const Path& path) {
  std::string extension = PathToUtf8(path.extension());
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension == ".wad" || extension == ".iwad" || extension == ".ipk3";
}

struct Search {
  const GameFileEvents& events;
  GameFileSearch counts;
  Seen folders_seen, files_seen;

  bool GoOn() {
    if (events.go_on && !events.go_on(counts)) counts.stopped = true;
    return !counts.stopped;
  }

  void Found(const Path& file, const ScanRoot& root) {
    if (FirstVisit(&files_seen, file)) events.found(file, root);
  }

  void Root(const ScanRoot& root, ListFolderFn list) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(root.path, error);
    if (std::filesystem::is_regular_file(status)) {
      // A file named outright is looked at whatever its name or first bytes.
      ++counts.files_checked;
      Found(root.path, root);
      return;
    }
    if (!std::filesystem::is_directory(status)) {
      if (events.missing) events.missing(root, error);
      return;
    }
    WalkEvents walk;
    walk.file = [&](const Path& file) {
      ++counts.files_checked;
      if (HasZipName(file) || IsGameFile(file)) Found(file, root);
    };
    walk.folder = [&](const Path&) { ++counts.folders_searched; };
    walk.unreadable = [&](const Path& folder, std::error_code why) {
      if (events.unreadable) events.unreadable(folder, why);
    };
    walk.go_on = [&] { return GoOn(); };
    WalkFolder(root.path, list, &folders_seen, walk);
  }
};

}  // namespace

bool IsGameFile(const Path& path) {
  return HasGameExtension(path) || ReadWadId(path) != WadId::kNone;
}

GameFileSearch FindGameFiles(const std::vector<ScanRoot>& roots, ListFolderFn list,
                             const GameFileEvents& events) {
  Search search{events, {}, {}, {}};
  for (const ScanRoot& root : roots) {
    if (!search.GoOn()) break;
    search.Root(root, list);
  }
  return search.counts;
}

}  // namespace tvl
