// Synthetic releases: IWAD-like files the build generates, whose digests a test catalogue
// overlay gives to chosen releases, with a patch store built from them by build-store. Test
// programs link `tvl_synthetic_releases` (the embedded files and this API), the overlay
// `tvl_digests_synthetic` and the store `tvl_synthetic_patch_store`, so the real identification,
// route, applier and conversion code runs on them.
//
// The releases (release ids as the catalogue forms them):
//   doom2_v19 (the base, over 8 MiB so its patches have two windows), doom2_v1666, doom2_xbox,
//   doom2_zodiac, tnt_v19 (the base), tnt_psnusa, and tnt_psneur, whose patches are left out of
//   the store on purpose; freedoom1_v0.9, an identification-only release.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/file.h"

namespace tvl::testing {

struct SyntheticRelease {
  const char16_t* release_id;  // "doom2_v19"
  std::span<const uint8_t> bytes;
};

std::span<const SyntheticRelease> SyntheticReleases();

// The bytes of one synthetic release; empty for an id that is not among them.
std::span<const uint8_t> SyntheticReleaseBytes(std::u16string_view release_id);

// Writes the release to `folder / file_name` and returns the path (fails the test on error).
Path WriteSyntheticRelease(const Path& folder, std::u16string_view release_id,
                           std::string_view file_name);

}  // namespace tvl::testing
