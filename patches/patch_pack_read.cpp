#include "patches/patch_pack.h"
#include "platform/file_view.h"
#include "zip/zip_inflate.h"

namespace tvl {
namespace {

FolderPatchStatus StatusOf(const ZipReport& report, FileError* error) {
  switch (report.status) {
    case ZipStatus::kOk:
      return FolderPatchStatus::kRead;
    case ZipStatus::kReadFailed:
    case ZipStatus::kWriteFailed:
    case ZipStatus::kStopped:
      if (error) *error = report.file_error;
      return FolderPatchStatus::kReadFailed;
    case ZipStatus::kTooLarge:
      return FolderPatchStatus::kTooLarge;
    case ZipStatus::kMethod:
    case ZipStatus::kEncrypted:
    case ZipStatus::kSplit:
      return FolderPatchStatus::kUnreadable;
    case ZipStatus::kNotZip:
    case ZipStatus::kOutside:
    case ZipStatus::kMalformed:
    case ZipStatus::kDamaged:
      break;
  }
  return FolderPatchStatus::kDamaged;
}

}  // namespace

FolderPatchStatus ReadPackPatch(const Path& pack, const std::string& entry,
                                std::vector<uint8_t>* bytes, FileError* error) {
  bytes->clear();
  File archive = File::OpenForRead(pack, error);
  uint64_t size = 0;
  if (!archive.is_open() || !FileView::RegularFileSize(archive, &size, error)) {
    return FolderPatchStatus::kReadFailed;
  }
  ZipDirectory directory;
  ZipReport report;
  if (!ReadZipDirectory(archive, size, &directory, &report)) return StatusOf(report, error);
  for (const ZipEntry& candidate : directory.entries) {
    if (candidate.name != entry) continue;
    if (candidate.size > kMaxFolderPatchSize) return FolderPatchStatus::kTooLarge;
    bytes->reserve(static_cast<size_t>(candidate.size));
    const ZipSink sink = [&](const uint8_t* data, size_t count, FileError*) {
      bytes->insert(bytes->end(), data, data + count);
      return true;
    };
    if (InflateZipEntry(archive, size, candidate, sink, &report)) return FolderPatchStatus::kRead;
    bytes->clear();
    return StatusOf(report, error);
  }
  return FolderPatchStatus::kAbsent;
}

}  // namespace tvl
