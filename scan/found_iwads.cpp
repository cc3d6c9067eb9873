#include "scan/found_iwads.h"

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "zip/zipped_file.h"

namespace tvl {
namespace {

int ReleaseOf(const FileDigest& digest) {
  return digest.complete ? FindIwadByDigest(FormatDigest(digest.bytes)) : -1;
}

}  // namespace

std::vector<FoundIwad> IdentifyFoundFile(const Path& file, const ScanRoot& root,
                                         const Path& temp_folder, const TempFileMaker& make_temp) {
  std::vector<FoundIwad> rows;
  bool archive = false;
  FileError error = 0;
  // A file whose start can't be read is no archive: it is listed, unknown.
  if (!OpensAsArchive(file, &archive, &error) || !archive) {
    rows.push_back({file, {}, ReleaseOf(Sha1OfFile(file)), root.rule});
    return rows;
  }
  ZipDirectory directory;
  ZipReport report;
  if (!ReadZipFile(file, &directory, &report)) return rows;
  for (const ZipEntry* entry : WadEntries(directory)) {
    FoundIwad row{file, entry->name, -1, root.rule};
    TempFile unpacked;
    FileDigest digest;
    if (UnpackZipEntry(file, *entry, temp_folder, make_temp, &unpacked, &digest, &report)) {
      row.release = ReleaseOf(digest);
    }
    rows.push_back(std::move(row));
    // `unpacked` goes here, before the next entry is unpacked.
  }
  return rows;
}

std::string FoundIwadLocation(const FoundIwad& found) {
  return found.entry.empty() ? PathToUtf8(found.file) : ZipEntryLabel(found.file, found.entry);
}

std::string_view RuleDisplayName(std::string_view rule) {
  struct Name {
    std::string_view rule;
    std::string_view shown;
  };
  static constexpr Name kNames[] = {
      {"DOOMWADDIR", "DOOMWADDIR"},
      {"DOOMWADPATH", "DOOMWADPATH"},
      {"user", "Your data folder"},
      {"system", "System data folder"},
      {"steam", "Steam"},
      {"gog", "GOG"},
      {"bethesda", "Bethesda.net"},
      {"flatpak", "Flatpak"},
      {"snap", "Snap"},
      {kChosenFolderRule, "Added folder"},
  };
  for (const Name& name : kNames) {
    if (name.rule == rule) return name.shown;
  }
  return rule;
}

}  // namespace tvl
