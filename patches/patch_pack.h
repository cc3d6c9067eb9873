// Patch packs: zip archives of "<name>.vcdiff" files, the way patches travel from someone who
// owns both releases to everyone else. A pack is a patch source wherever a folder is one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "patches/patch_folder.h"

namespace tvl {

// Whether the file's name says it is a pack: "*.zip", in any case.
bool IsPatchPackName(const Path& file);

// The entry of the pack that holds the patch `name`: "<name>.vcdiff" at the top or in a folder
// of the pack, its extension in any case, the first such in the pack's directory. False when the
// pack has none, or can't be read as a zip archive.
bool FindPackEntry(const Path& pack, std::u16string_view name, std::string* entry);

// Reads the entry of the pack whole into `bytes` (emptied on every status but kRead), with the
// bounds of a folder patch: no more than kMaxFolderPatchSize.
FolderPatchStatus ReadPackPatch(const Path& pack, const std::string& entry,
                                std::vector<uint8_t>* bytes, FileError* error = nullptr);

}  // namespace tvl
