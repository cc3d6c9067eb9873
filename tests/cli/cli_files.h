// What the CLI tests write and compare: the synthetic releases' bytes, an add-on, a folder's
// files, and paths as the commands print them.
#pragma once

#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "tests/synthetic/synthetic_releases.h"

namespace tvl::cli {

inline std::vector<uint8_t> Release(std::u16string_view id) {
  std::span<const uint8_t> bytes = testing::SyntheticReleaseBytes(id);
  return {bytes.begin(), bytes.end()};
}

inline std::string Text(const Path& path) { return PathToUtf8(path); }

// A PWAD with one map, as an add-on is: its directory's entries point at the end of the header.
inline std::vector<uint8_t> AddOn() {
  std::vector<uint8_t> wad = {'P', 'W', 'A', 'D', 2, 0, 0, 0, 12, 0, 0, 0};
  for (const char* name : {"MAP07", "THINGS"}) {
    uint8_t entry[16] = {12};
    std::memcpy(entry + 8, name, std::strlen(name));
    wad.insert(wad.end(), entry, entry + 16);
  }
  return wad;
}

// The regular files in a folder, not below it.
inline size_t CountFiles(const Path& folder) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    count += entry.is_regular_file() ? 1 : 0;
  }
  return count;
}

}  // namespace tvl::cli
