#include "patching/leftovers.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "platform/file_ops.h"

namespace tvl {
namespace {

// Which release the file holds, whole; -1 for anything else.
int ReleaseIn(const Path& file) {
  FileDigest digest = Sha1OfFile(file);
  return digest.complete ? FindIwadByDigest(FormatDigest(digest.bytes)) : -1;
}

// The swap's files in `folder` with `suffix`.
std::vector<Path> SwapFiles(const Path& folder, std::string_view suffix) {
  std::vector<Path> files;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    std::error_code status_error;
    if (!it->is_regular_file(status_error)) continue;
    if (!SiblingOrigin(it->path(), suffix).empty()) files.push_back(it->path());
  }
  return files;
}

bool Exists(const Path& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

// "<id>.tarvelline-kept.wad", or while that is taken "<id>.tarvelline-kept-2.wad"...: ending in
// ".wad", the file shows in the open dialog among the user's WAD files. Empty when none is free.
Path FreeKeptPath(const Path& folder, const std::u16string& id) {
  for (int number = 1; number < 100; ++number) {
    std::u16string name = id + u".tarvelline-kept";
    if (number > 1) {
      name += u'-';
      for (char digit : std::to_string(number)) name += static_cast<char16_t>(digit);
    }
    const Path candidate = folder / Path(name + u".wad");
    if (!Exists(candidate)) return candidate;
  }
  return {};
}

}  // namespace

LeftoverReport CleanUpLeftovers(const Path& folder) {
  LeftoverReport report;
  // A new file of a swap is only ever a verified release; one that isn't (damaged since) has no
  // claim on the name. An old file goes back whatever it holds: it was the user's.
  for (std::string_view suffix :
       {std::string_view(kSwapBackupSuffix), std::string_view(kSwapNewSuffix)}) {
    const bool is_backup = suffix == kSwapBackupSuffix;
    for (const Path& file : SwapFiles(folder, suffix)) {
      KeptFile kept = {file, SiblingOrigin(file, suffix), ReleaseIn(file), false};
      if ((is_backup || kept.release >= 0) && !Exists(kept.origin) &&
          MoveFileNoReplace(file, kept.origin)) {
        kept.file = kept.origin;
        kept.restored = true;
      }
      report.kept.push_back(kept);
    }
  }
  for (const Path& file : FindLeftoverTempFiles(folder)) {
    const int release = ReleaseIn(file);
    if (release < 0) {
      if (RemoveFile(file)) ++report.removed;
      continue;
    }
    // Where it came from is unknown; what it is, is not.
    const std::u16string id = FormatReleaseId(GetIwad(release));
    const Path named = FreeKeptPath(folder, id);
    KeptFile kept = {file, {}, release, false};
    if (!named.empty() && MoveFileNoReplace(file, named)) kept.file = named;
    report.kept.push_back(kept);
  }
  return report;
}

}  // namespace tvl
