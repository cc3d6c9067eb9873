#include "catalogue/sha1.h"
#include "platform/file_view.h"
#include "zip/zip_inflate.h"
#include "zip/zipped_file.h"

namespace tvl {

bool UnpackZipEntry(const Path& archive, const ZipEntry& entry, const Path& folder,
                    const TempFileMaker& make_temp, TempFile* unpacked, FileDigest* digest,
                    ZipReport* report) {
  *report = {};
  unpacked->Reset();
  if (digest) *digest = {};
  FileError error = 0;
  File in = File::OpenForRead(archive, &error);
  uint64_t size = 0;
  if (!in.is_open() || !FileView::RegularFileSize(in, &size, &error)) {
    report->status = ZipStatus::kReadFailed;
    report->file_error = error;
    return false;
  }
  // Refused entries make no file at all.
  if (!CheckZipEntry(entry, report)) return false;
  TempFile temp(MakeTempFileWith(make_temp, folder, &error));
  File out = temp.empty() ? File() : File::CreateForWrite(temp.path(), &error);
  if (!out.is_open()) {
    report->status = ZipStatus::kWriteFailed;
    report->file_error = error;
    report->entry = entry.name;
    return false;
  }
  Sha1Context sha1;
  Sha1Init(&sha1);
  const ZipSink sink = [&](const uint8_t* data, size_t count, FileError* write_error) {
    Sha1Update(&sha1, data, count);
    return out.Write(data, count, write_error) == count;
  };
  if (!InflateZipEntry(in, size, entry, sink, report)) return false;
  if (!out.Close(&error)) {
    report->status = ZipStatus::kWriteFailed;
    report->file_error = error;
    report->entry = entry.name;
    return false;
  }
  if (digest) {
    Sha1Final(&sha1, digest->bytes);
    digest->complete = true;
  }
  unpacked->Reset(temp.path());
  temp.Release();
  return true;
}

}  // namespace tvl
