// Steam's side of the scan: the library folders a Steam installation lists, and the install
// folders of the Doom-family games within a library.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace tvl {

// The library folders named in the text of a libraryfolders.vdf, in the order they appear:
// every "path" value, and the bare numbered entries of the older format. Tolerant of anything
// else in the text; never fails, at worst finds nothing.
std::vector<Path> ParseSteamLibraryFolders(std::string_view vdf);

// The names of the Doom-family games' folders under steamapps/common.
std::span<const char* const> SteamGameFolders();

}  // namespace tvl
