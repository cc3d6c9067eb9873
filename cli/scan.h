// tarvelline-cli scan: finds game files in folders and identifies each one.
#pragma once

#include <vector>

#include "cli/record.h"
#include "scan/game_files.h"

namespace tvl::cli {

struct ScanRequest {
  std::vector<ScanRoot> roots;
  // Roots the user named: one that does not exist is an error, not just an empty place.
  bool named_roots = false;
  bool explain = false;  // add what each unknown file is, as identify --explain does
  bool progress = false;
  RecordFormat format = RecordFormat::kTab;
  ListFolderFn list = ListFolder;
};

// Prints one record per game file found, INDEX SHA1 ID TITLE FILE RULE [EXPLANATION], and one per
// WAD file inside each zip archive (*.zip, or another file it looks at that starts as a zip does);
// reports unreadable files, archives and folders on stderr, and skips archives without WAD files.
// Returns kExitOk when at least one file was found and every file was identified and every folder
// read, kExitFailure otherwise.
int RunScan(const ScanRequest& request);

}  // namespace tvl::cli
