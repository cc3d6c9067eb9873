// Where users' games live: the folders a scan without arguments looks in, found the way
// established source ports find their game files.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/registry.h"

namespace tvl {

// A folder (or a file) to scan, and the rule that named it; the rule is printed with each file
// found there.
struct ScanRoot {
  Path path;
  std::string rule;
};

// Everything the places are looked up from, so tests can stand in for the host.
struct PlaceLookup {
  // An environment variable's value in UTF-8, or nothing when it is unset.
  std::function<std::optional<std::string>(const char* name)> env;
  RegistryReader registry;
  // The Windows places (registry, Program Files) or the POSIX ones (XDG folders, Flatpak, Snap).
  bool windows;
  // POSIX: the shared data folders searched even when XDG_DATA_DIRS leaves them out.
  std::vector<Path> system_data_dirs;
};

// This machine's environment, registry and folders.
PlaceLookup HostPlaceLookup();

// The folders to scan, in order of precedence: DOOMWADDIR, DOOMWADPATH, the user's and the
// system's data folders, Steam libraries, GOG, Bethesda.net, then source ports' Flatpak and
// Snap folders. Only folders that exist are returned; a folder named twice is kept once.
std::vector<ScanRoot> DefaultScanRoots(const PlaceLookup& lookup);

}  // namespace tvl
