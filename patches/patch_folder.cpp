#include "patches/patch_folder.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "patches/patch_directory.h"
#include "patches/patch_pack.h"
#include "platform/program_folder.h"

namespace tvl {
namespace {

bool IsPatchFile(const Path& file) {
  std::error_code error;
  return std::filesystem::is_regular_file(file, error);
}

FolderPatchStatus Discard(std::vector<uint8_t>* bytes, FolderPatchStatus status) {
  bytes->clear();
  return status;
}

}  // namespace

Path FolderPatchPath(const Path& folder, std::u16string_view name) {
  std::u16string file(name);
  file += u".vcdiff";
  return folder / Path(file);
}

FolderPatchStatus ReadFolderPatch(const Path& file, std::vector<uint8_t>* bytes, FileError* error) {
  bytes->clear();
  if (!IsPatchFile(file)) return FolderPatchStatus::kAbsent;
  File patch = File::OpenForRead(file, error);
  if (!patch.is_open()) return FolderPatchStatus::kReadFailed;
  // The size is only a hint (the file may change); the reads below enforce the bound.
  std::error_code size_error;
  const uintmax_t size = std::filesystem::file_size(file, size_error);
  if (!size_error) {
    if (size > kMaxFolderPatchSize) return FolderPatchStatus::kTooLarge;
    bytes->reserve(static_cast<size_t>(size));
  }
  constexpr size_t kChunk = size_t{1} << 20;
  for (;;) {
    const size_t at = bytes->size();
    if (at > kMaxFolderPatchSize) return Discard(bytes, FolderPatchStatus::kTooLarge);
    bytes->resize(at + kChunk);
    const int64_t got = patch.Read(bytes->data() + at, kChunk, error);
    if (got < 0) return Discard(bytes, FolderPatchStatus::kReadFailed);
    bytes->resize(at + static_cast<size_t>(got));
    if (got == 0) return FolderPatchStatus::kRead;
  }
}

namespace {

// The packs in a folder, in the order of their names, so the same folder always gives the same
// patch.
std::vector<Path> PacksIn(const Path& folder) {
  std::vector<Path> packs;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (IsPatchPackName(it->path()) && IsPatchFile(it->path())) packs.push_back(it->path());
  }
  std::sort(packs.begin(), packs.end());
  return packs;
}

bool FindInPack(const Path& pack, std::u16string_view name, RunTimePatch* found) {
  std::string entry;
  if (!FindPackEntry(pack, name, &entry)) return false;
  *found = {pack, entry};
  return true;
}

}  // namespace

Path RunTimePatch::Label() const {
  return entry.empty() ? file : file / Path(std::u8string(entry.begin(), entry.end()));
}

bool FindRunTimePatch(const Path& source, std::u16string_view name, RunTimePatch* found) {
  if (source.empty()) return false;
  if (IsPatchFile(source)) return FindInPack(source, name, found);
  const Path file = FolderPatchPath(source, name);
  if (IsPatchFile(file)) {
    *found = {file, {}};
    return true;
  }
  for (const Path& pack : PacksIn(source)) {
    if (FindInPack(pack, name, found)) return true;
  }
  return false;
}

FolderPatchStatus ReadRunTimePatch(const RunTimePatch& patch, std::vector<uint8_t>* bytes,
                                   FileError* error) {
  return patch.entry.empty() ? ReadFolderPatch(patch.file, bytes, error)
                             : ReadPackPatch(patch.file, patch.entry, bytes, error);
}

PatchOrigin LocatePatch(std::u16string_view name, const Path& source) {
  const std::u16string text(name);
  if (FindPatch(text.c_str(), nullptr, nullptr)) return PatchOrigin::kBuiltIn;
  RunTimePatch found;
  if (FindRunTimePatch(source, name, &found)) return PatchOrigin::kFolder;
  return PatchOrigin::kMissing;
}

Path PatchFolderBesideProgram() {
  Path program_folder = ProgramFolder();
  if (program_folder.empty()) return {};
  return program_folder / "patches";
}

}  // namespace tvl
