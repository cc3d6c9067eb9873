#include "cli/identify_file.h"

#include <utility>

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/wad_inspect.h"
#include "cli/zip_input.h"
#include "zip/zipped_file.h"

namespace tvl::cli {
namespace {

// `bytes` is where the file's bytes are: the file itself, or an entry unpacked.
IdentifiedFile Identified(FileName name, const FileDigest& digest, const Path& bytes,
                          bool explain) {
  IdentifiedFile result{std::move(name), -1, FormatDigest(digest.bytes), {}};
  result.index = FindIwadByDigest(result.sha1_hex);
  if (explain) {
    result.explanation = result.index < 0 ? ExplainWad(InspectWadFile(bytes)) : "known release";
  }
  return result;
}

bool IdentifyArchive(const Path& path, const std::string& display, bool explain,
                     std::vector<IdentifiedFile>* results, std::string* error) {
  ZipDirectory directory;
  ZipReport report;
  if (!ReadZipFile(path, &directory, &report)) {
    *error = DescribeZipReport(report, display);
    return false;
  }
  std::vector<IdentifiedFile> found;
  for (const ZipEntry* entry : WadEntries(directory)) {
    TempFile unpacked;
    FileDigest digest;
    if (!UnpackWadEntry(path, display, *entry, &unpacked, &digest, error)) return false;
    found.push_back(Identified({display, entry->name}, digest, unpacked.path(), explain));
  }
  *results = std::move(found);
  return true;
}

}  // namespace

bool IdentifyFile(const Path& path, const std::string& display, bool explain,
                  std::vector<IdentifiedFile>* results, std::string* error) {
  results->clear();
  bool archive = false;
  FileError read_error = 0;
  if (!OpensAsArchive(path, &archive, &read_error)) {
    *error = "cannot read " + display + ": " + DescribeFileError(read_error);
    return false;
  }
  if (archive) return IdentifyArchive(path, display, explain, results, error);
  const FileDigest digest = Sha1OfFile(path);
  if (!digest.complete) {
    *error = "cannot read " + display + ": " + DescribeFileError(digest.error);
    return false;
  }
  results->push_back(Identified({display, std::nullopt}, digest, path, explain));
  return true;
}

}  // namespace tvl::cli
