#include "zip/zipped_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/file_view.h"

namespace tvl {

bool IsZipFile(const Path& path) {
  File file = File::OpenForRead(path);
  uint8_t head[4] = {};
  return file.is_open() && file.Read(head, sizeof head) == 4 && std::memcmp(head, "PK\3\4", 4) == 0;
}

namespace {

std::string LowerExtension(const Path& path) {
  std::string extension = PathToUtf8(path.extension());
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

}  // namespace

bool HasZipName(const Path& path) { return LowerExtension(path) == ".zip"; }

bool OpensAsArchive(const Path& path, bool* archive, FileError* error) {
  *archive = HasZipName(path);
  const std::string extension = LowerExtension(path);
  std::error_code status_error;
  // A pipe or a device is read once only: its first bytes are left for the digest.
  if (*archive || extension == ".ipk3" || extension == ".pk3" ||
      !std::filesystem::is_regular_file(path, status_error)) {
    return true;
  }
  File file = File::OpenForRead(path, error);
  uint8_t head[4];
  const int64_t got = file.is_open() ? file.Read(head, sizeof head, error) : -1;
  if (got < 0) return false;
  *archive = got == sizeof head && std::memcmp(head, "PK\3\4", sizeof head) == 0;
  return true;
}

bool IsWadEntry(const ZipEntry& entry) {
  if (entry.is_directory()) return false;
  std::string lower = entry.name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  for (const std::string_view extension : {".wad", ".iwad", ".ipk3"}) {
    if (lower.size() > extension.size() && lower.ends_with(extension)) return true;
  }
  return false;
}

std::vector<const ZipEntry*> WadEntries(const ZipDirectory& directory) {
  std::vector<const ZipEntry*> wads;
  for (const ZipEntry& entry : directory.entries) {
    if (IsWadEntry(entry)) wads.push_back(&entry);
  }
  return wads;
}

std::string ZipEntryLabel(const Path& archive, const std::string& entry) {
  return PathToUtf8(archive.lexically_normal()) + std::string(kZipEntrySeparator) + entry;
}

bool ReadZipFile(const Path& path, ZipDirectory* directory, ZipReport* report) {
  *report = {};
  directory->entries.clear();
  FileError error = 0;
  File archive = File::OpenForRead(path, &error);
  uint64_t size = 0;
  if (!archive.is_open() || !FileView::RegularFileSize(archive, &size, &error)) {
    report->status = ZipStatus::kReadFailed;
    report->file_error = error;
    return false;
  }
  return ReadZipDirectory(archive, size, directory, report);
}

}  // namespace tvl
