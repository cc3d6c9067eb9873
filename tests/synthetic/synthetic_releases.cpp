#include "tests/synthetic/synthetic_releases.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace tvl::testing {

// Defined in the generated synthetic_releases_data.cpp.
extern const SyntheticRelease kSyntheticReleases[];
extern const size_t kSyntheticReleaseCount;

std::span<const SyntheticRelease> SyntheticReleases() {
  return {kSyntheticReleases, kSyntheticReleaseCount};
}

std::span<const uint8_t> SyntheticReleaseBytes(std::u16string_view release_id) {
  for (const SyntheticRelease& release : SyntheticReleases()) {
    if (release.release_id == release_id) return release.bytes;
  }
  return {};
}

Path WriteSyntheticRelease(const Path& folder, std::u16string_view release_id,
                           std::string_view file_name) {
  std::span<const uint8_t> bytes = SyntheticReleaseBytes(release_id);
  EXPECT_FALSE(bytes.empty()) << "no synthetic release of that id";
  Path path = folder / Path(file_name);
  WriteFileBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  return path;
}

}  // namespace tvl::testing
