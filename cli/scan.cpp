#include "cli/scan.h"

#include <cstdio>
#include <string_view>

#include "catalogue/wad_inspect.h"
#include "cli/cli.h"
#include "cli/identify_file.h"
#include "cli/scan_progress.h"
#include "cli/zip_input.h"

namespace tvl::cli {
namespace {

bool HasGameExtension(const Path& path) {
  std::string extension = PathToUtf8(path.extension());
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension == ".wad" || extension == ".iwad" || extension == ".ipk3";
}

struct Scan {
  const ScanRequest& request;
  ScanProgress progress;
  Seen folders_seen, files_seen;
  int result = kExitOk;
  size_t found = 0;

  void Report(const std::string& message) {
    ClearProgress(&progress);
    PrintError(message);
    result = kExitFailure;
  }

  void Identify(const Path& path, const std::string& rule) {
    if (!FirstVisit(&files_seen, path)) return;
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

  void Check(const Path& path, const std::string& rule) {
    ++progress.files_checked;
    if (HasZipName(path) || IsGameFile(path)) Identify(path, rule);
    ShowProgress(&progress);
  }

  void Root(const ScanRoot& root) {
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(root.path, error);
    if (std::filesystem::is_regular_file(status)) {
      // A file named outright is identified whatever its name or first bytes.
      ++progress.files_checked;
      Identify(root.path, root.rule);
      return;
    }
    if (!std::filesystem::is_directory(status)) {
      if (request.named_roots) {
        Report("cannot read " + PathToUtf8(root.path) + ": " +
               (error ? error.message() : std::string("not a folder or a file")));
      }
      return;
    }
    WalkEvents events;
    events.file = [this, &root](const Path& file) { Check(file, root.rule); };
    events.unreadable = [this](const Path& folder, std::error_code why) {
      Report("cannot read folder " + PathToUtf8(folder) + ": " + why.message());
    };
    WalkFolder(root.path, request.list, &folders_seen, events);
  }
};

}  // namespace

bool IsGameFile(const Path& path) {
  return HasGameExtension(path) || ReadWadId(path) != WadId::kNone;
}

int RunScan(const ScanRequest& request) {
  Scan scan{request, {}, {}, {}};
  scan.progress.enabled = request.progress;
  for (const ScanRoot& root : request.roots) scan.Root(root);
  ClearProgress(&scan.progress);
  if (scan.found == 0) {
    PrintError(request.named_roots ? "no game files found"
                                   : "no game files found in the usual places");
    return kExitFailure;
  }
  return scan.result;
}

}  // namespace tvl::cli
