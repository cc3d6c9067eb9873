#include "patches/patch_folder.h"

#include <string>
#include <system_error>

#include "patches/patch_directory.h"
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

PatchOrigin LocatePatch(std::u16string_view name, const Path& folder) {
  const std::u16string text(name);
  if (FindPatch(text.c_str(), nullptr, nullptr)) return PatchOrigin::kBuiltIn;
  if (!folder.empty() && IsPatchFile(FolderPatchPath(folder, name))) return PatchOrigin::kFolder;
  return PatchOrigin::kMissing;
}

Path PatchFolderBesideProgram() {
  Path program_folder = ProgramFolder();
  if (program_folder.empty()) return {};
  return program_folder / "patches";
}

}  // namespace tvl
