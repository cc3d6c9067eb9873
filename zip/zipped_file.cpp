#include "zip/zipped_file.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/file_view.h"

namespace tvl {

bool IsZipFile(const Path& path) {
  File file = File::OpenForRead(path);
  uint8_t head[4] = {};
  return file.is_open() && file.Read(head, sizeof head) == 4 && std::memcmp(head, "PK\3\4", 4) == 0;
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
