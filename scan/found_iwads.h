// What a search for game files shows of each file it finds: which release it is, where it is,
// and which of the usual places it was found in. A zip archive gives one row per WAD file in it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "platform/write_beside.h"
#include "scan/places.h"

namespace tvl {

struct FoundIwad {
  Path file;          // the file found, or the archive that holds it
  std::string entry;  // the archive's entry, UTF-8; empty for a plain file
  int release = -1;   // the catalogue index, or -1 when unknown or unreadable
  std::string rule;   // the ScanRoot rule of the place it was found in
};

// Identifies `file`, found under `root`, by the SHA-1 of its whole content. A zip archive's WAD
// files are unpacked one at a time into temporary files in `temp_folder` (made by `make_temp`,
// MakeTempFile when empty), hashed on the way and removed at once. A file that can't be read is
// still a row, unknown; an archive that can't be read or holds no WAD file gives none.
std::vector<FoundIwad> IdentifyFoundFile(const Path& file, const ScanRoot& root,
                                         const Path& temp_folder, const TempFileMaker& make_temp);

// Where the row's file is: its path, or "archive//entry".
std::string FoundIwadLocation(const FoundIwad& found);

// A place's rule as users know it: "Steam" for "steam", "GOG" for "gog"; a rule it does not know
// is shown as it is.
std::string_view RuleDisplayName(std::string_view rule);

// The rule of folders the user named, rather than one of the usual places.
inline constexpr std::string_view kChosenFolderRule = "chosen";

}  // namespace tvl
