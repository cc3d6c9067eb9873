#include "cli/zip_input.h"

#include <cstring>
#include <system_error>
#include <vector>

#include "cli/cli.h"
#include "platform/file_ops.h"
#include "zip/zipped_file.h"

namespace tvl::cli {
namespace {

std::string JoinNames(const std::vector<const ZipEntry*>& entries) {
  std::string names;
  for (const ZipEntry* entry : entries) names += (names.empty() ? "" : ", ") + entry->name;
  return names;
}

}  // namespace

const ZipEntry* ChooseWadEntry(const ZipDirectory& directory, const std::string& archive,
                               const std::string* wanted, std::string* error) {
  const std::vector<const ZipEntry*> wads = WadEntries(directory);
  if (wads.empty()) {
    *error = archive + ": no WAD file in this archive";
    return nullptr;
  }
  if (wanted) {
    for (const ZipEntry* entry : wads) {
      if (entry->name == *wanted) return entry;
    }
    *error = archive + ": no WAD file named " + *wanted + " in this archive; it holds " +
             JoinNames(wads);
    return nullptr;
  }
  if (wads.size() > 1) {
    *error =
        archive + " holds several WAD files: " + JoinNames(wads) + "; choose one with --entry NAME";
    return nullptr;
  }
  return wads[0];
}

bool UnpackWadEntry(const Path& archive, const std::string& archive_display, const ZipEntry& entry,
                    TempFile* unpacked, FileDigest* digest, std::string* error) {
  ZipReport report;
  if (!UnpackZipEntry(archive, entry, TempFolder(), {}, unpacked, digest, &report)) {
    *error = DescribeZipReport(report, archive_display);
    return false;
  }
  return true;
}

bool ProbeInputFile(const std::string& arg, bool* archive) {
  FileError error = 0;
  if (OpensAsArchive(PathFromArg(arg), archive, &error)) return true;
  PrintError("cannot read " + arg + ": " + DescribeFileError(error));
  return false;
}

bool OpenInputFile(const std::string& arg, bool archive, const std::string* entry,
                   InputFile* input) {
  const Path path = PathFromArg(arg);
  input->label = arg;
  if (!archive) {
    if (entry) {
      PrintError(arg + " is not a zip archive; --entry names a file inside one");
      return false;
    }
    input->path = path;
    input->digest = Sha1OfFile(path);
    if (!input->digest.complete) {
      PrintError("cannot read " + arg + ": " + DescribeFileError(input->digest.error));
      return false;
    }
    return true;
  }
  ZipDirectory directory;
  ZipReport report;
  if (!ReadZipFile(path, &directory, &report)) {
    PrintError(DescribeZipReport(report, arg));
    return false;
  }
  std::string error;
  const ZipEntry* chosen = ChooseWadEntry(directory, arg, entry, &error);
  if (!chosen || !UnpackWadEntry(path, arg, *chosen, &input->unpacked, &input->digest, &error)) {
    PrintError(error);
    return false;
  }
  input->zipped = true;
  input->path = input->unpacked.path();
  input->label = ZipEntryLabel(path, chosen->name);
  return true;
}

}  // namespace tvl::cli
