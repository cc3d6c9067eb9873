#include "cli/scan.h"

#include <cstdio>
#include <string_view>

#include "cli/cli.h"
#include "cli/identify_file.h"
#include "cli/scan_progress.h"

namespace tvl::cli {
namespace {

struct Scan {
  const ScanRequest& request;
  ScanProgress progress;
  int result = kExitOk;
  size_t found = 0;

  void Report(const std::string& message) {
    ClearProgress(&progress);
    PrintError(message);
    result = kExitFailure;
  }

  void Identify(const Path& path, const std::string& rule) {
    std::vector<IdentifiedFile> files;
    std::string error;
    const bool identified = IdentifyFile(path, PathToUtf8(path), request.explain, &files, &error);
    // A file that can't be read was still found; an archive without WAD files holds none.
    const size_t count = identified ? files.size() : 1;
    found += count;
    progress.game_files += count;
    if (!identified) {
      Report(error);
      return;
    }
    for (const IdentifiedFile& file : files) {
      Record record = file.ToRecord();
      record.push_back(TextField("rule", rule));
      if (file.index < 0) result = kExitFailure;
      if (request.explain) record.push_back(TextField("explain", file.explanation));
      ClearProgress(&progress);
      PrintRecord(record, request.format);
    }
    std::fflush(stdout);
  }
};

}  // namespace

int RunScan(const ScanRequest& request) {
  Scan scan{request, {}};
  scan.progress.enabled = request.progress;
  GameFileEvents events;
  events.found = [&scan](const Path& file, const ScanRoot& root) {
    scan.Identify(file, root.rule);
  };
  events.unreadable = [&scan](const Path& folder, std::error_code why) {
    scan.Report("cannot read folder " + PathToUtf8(folder) + ": " + why.message());
  };
  events.missing = [&scan, &request](const ScanRoot& root, std::error_code error) {
    if (request.named_roots) {
      scan.Report("cannot read " + PathToUtf8(root.path) + ": " +
                  (error ? error.message() : std::string("not a folder or a file")));
    }
  };
  events.go_on = [&scan](const GameFileSearch& search) {
    scan.progress.files_checked = search.files_checked;
    ShowProgress(&scan.progress);
    return true;
  };
  FindGameFiles(request.roots, request.list, events);
  ClearProgress(&scan.progress);
  if (scan.found == 0) {
    PrintError(request.named_roots ? "no game files found"
                                   : "no game files found in the usual places");
    return kExitFailure;
  }
  return scan.result;
}

}  // namespace tvl::cli
