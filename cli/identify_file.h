// identify's and scan's work on one file: its digest, its release and, when asked, what it is;
// for a zip archive the same for each WAD file inside it.
#pragma once

#include <string>
#include <vector>

#include "cli/file_record.h"
#include "platform/file.h"

namespace tvl::cli {

struct IdentifiedFile {
  FileName name;
  int index = -1;  // the catalogue entry, or -1 for an unknown file
  std::string sha1_hex;
  std::string explanation;  // when asked: "known release", or what the file is

  // INDEX SHA1 ID TITLE FILE, as FileRecord makes it.
  Record ToRecord() const { return FileRecord(index, sha1_hex, name); }
};

// Identifies the file at `path`; `display` names it as the user gave it or the scan found it.
// A zip archive (OpensAsArchive) gives one result per WAD entry, in the archive's order, and none
// when it holds no WAD file; each entry is unpacked into a temporary file in TempFolder() that goes
// before the next is unpacked. False, with `*error` the sentence to report, when the file, the
// archive or one of its WAD entries can't be read: nothing is identified from a damaged archive.
bool IdentifyFile(const Path& path, const std::string& display, bool explain,
                  std::vector<IdentifiedFile>* results, std::string* error);

}  // namespace tvl::cli
