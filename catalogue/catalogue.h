// The release catalogue: every IWAD release we know, by its whole-file SHA-1 digest.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tvl {

inline constexpr int kIwadCount = 115;

// Flags of an entry. No entry carries both.
inline constexpr int32_t kIwadBase = 1;     // the hub every patch of its game runs through
inline constexpr int32_t kIwadNoPatch = 2;  // identified, but never converted from or to

struct IwadRecord {
  int32_t index;  // -1 until InitIwadCatalogue numbers the entries
  const char16_t* game_id;
  const char16_t* version_id;  // empty for games with a single release
  const char16_t* title;
  char sha1_hex[41];  // 40 lowercase hex digits and a NUL
  int32_t flags;
};

// The fixed table, in catalogue order. Only `index` (and, in test builds, digests replaced by an
// overlay) is ever written, once, by InitIwadCatalogue.
extern IwadRecord IwadCatalogue[kIwadCount];

// Numbers the entries and applies the build's digest overlay. Call once at start-up.
void InitIwadCatalogue();

// Entry `index`, 0 <= index < kIwadCount.
const IwadRecord& GetIwad(int index);

// The index of the entry whose digest equals `sha1_hex` (ASCII case ignored), or -1.
int FindIwadByDigest(std::string_view sha1_hex);

// "GAME_VERSION", e.g. "doom2_v19", or "voices_" for an empty version id.
std::u16string FormatReleaseId(const IwadRecord& record);

// The index of the entry whose FormatReleaseId equals `id`, or -1.
int FindIwadByReleaseId(std::u16string_view id);

// A digest that replaces the catalogue's for one release, so that a test build can identify
// files it makes itself. The product's overlay is empty.
struct DigestOverride {
  const char16_t* game_id;
  const char16_t* version_id;
  const char* sha1_hex;
};

// Provided by exactly one digest library linked into each program (see catalogue/CMakeLists.txt).
std::span<const DigestOverride> CatalogueDigestOverrides();

}  // namespace tvl
