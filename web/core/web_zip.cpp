#include "web/core/web_zip.h"

#include <cerrno>

#include "patches/patch_folder.h"
#include "platform/file_view.h"
#include "web/core/web_report.h"
#include "zip/crc32.h"
#include "zip/zipped_file.h"

namespace tvl::web {
namespace {

// A patch pack holds "<name>.vcdiff" entries, in any letter case, as a dropped patch may be.
bool IsPatchEntry(const ZipEntry& entry) {
  if (entry.is_directory()) return false;
  const std::string& name = entry.name;
  constexpr std::string_view kExtension = ".vcdiff";
  if (name.size() <= kExtension.size()) return false;
  for (size_t i = 0; i < kExtension.size(); ++i) {
    char c = name[name.size() - kExtension.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kExtension[i]) return false;
  }
  return name[name.size() - kExtension.size() - 1] != '/';
}

std::string Failed(const ZipReport& report, const std::string& archive) {
  return "{\"error\":" + JsonString(DescribeZipReport(report, archive)) + "}";
}

// Whether the entry can be unpacked, and where its data starts; else the sentence why not.
// A patch is read whole into memory, so the page takes none larger than a patches folder's.
bool LocateEntry(File& file, uint64_t size, const ZipEntry& entry, bool patch,
                 const std::string& archive, uint64_t* offset, std::string* error) {
  ZipReport report;
  if (!CheckZipEntry(entry, &report) || !LocateZipData(file, size, entry, offset, &report)) {
    *error = DescribeZipReport(report, archive);
    return false;
  }
  if (patch && entry.size > kMaxFolderPatchSize) {
    *error =
        archive + ": " + entry.name + " is larger than any patch (over 256 MiB); it is not read";
    return false;
  }
  return true;
}

}  // namespace

std::string ZipEntriesJson(const Path& path, const std::string& archive) {
  ZipReport report;
  FileError error = 0;
  File file = File::OpenForRead(path, &error);
  uint64_t size = 0;
  if (!file.is_open() || !FileView::RegularFileSize(file, &size, &error)) {
    report.status = ZipStatus::kReadFailed;
    report.file_error = error;
    return Failed(report, archive);
  }
  ZipDirectory directory;
  if (!ReadZipDirectory(file, size, &directory, &report)) return Failed(report, archive);
  std::string entries;
  for (const ZipEntry& entry : directory.entries) {
    if (entry.is_directory()) continue;
    const bool wad = IsWadEntry(entry);
    const bool patch = !wad && IsPatchEntry(entry);
    if (!entries.empty()) entries += ',';
    entries += "{\"name\":" + JsonString(entry.name) + ",\"wad\":" + (wad ? "true" : "false") +
               ",\"patch\":" + (patch ? "true" : "false") +
               ",\"size\":" + std::to_string(entry.size) +
               ",\"crc32\":" + std::to_string(entry.crc32) +
               ",\"method\":" + std::to_string(entry.method) +
               ",\"compressed\":" + std::to_string(entry.compressed_size);
    uint64_t offset = 0;
    std::string refused;
    if (wad || patch) {
      entries += LocateEntry(file, size, entry, patch, archive, &offset, &refused)
                     ? ",\"offset\":" + std::to_string(offset)
                     : ",\"error\":" + JsonString(refused);
    }
    entries += '}';
  }
  return "{\"entries\":[" + entries + "]}";
}

size_t TakeUnpacked(UnpackCheck* check, const uint8_t* data, size_t size) {
  const uint64_t room = check->declared - check->total;
  size_t taken = size;
  if (size > room) {
    taken = static_cast<size_t>(room);
    check->overrun = true;
  }
  check->crc = Crc32(check->crc, data, taken);
  check->total += taken;
  return taken;
}

ZipReport FinishUnpacked(const UnpackCheck& check, const std::string& entry, UnpackEnd end) {
  ZipReport report;
  report.entry = entry;
  if (end == UnpackEnd::kReadFailed) {
    // The browser gives no reason of its own: the file changed or went away since it was picked.
    report.status = ZipStatus::kReadFailed;
    report.file_error = EIO;
  } else if (end == UnpackEnd::kInflateFailed || check.overrun || check.total != check.declared ||
             check.crc != check.expected_crc) {
    report.status = ZipStatus::kDamaged;
  } else {
    report.entry.clear();
  }
  return report;
}

}  // namespace tvl::web
