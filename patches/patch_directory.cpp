#include "patches/patch_directory.h"

#include "patches/patch_names.h"
#include "patches/patch_store.h"

namespace tvl {
namespace {

// Exact comparison, character for character: no locale, no case folding.
bool SameName(const char16_t* a, const char16_t* b) {
  while (*a != u'\0' && *a == *b) ++a, ++b;
  return *a == *b;
}

int Miss(const uint8_t** data, uint32_t* length) {
  if (data) *data = nullptr;
  if (length) *length = 0;
  return 0;
}

}  // namespace

int FindPatch(const char16_t* name, const uint8_t** data, uint32_t* length) {
  if (name == nullptr) return Miss(data, length);
  for (size_t i = 0; i < kPatchCount; ++i) {
    if (!SameName(name, kPatchNames[i])) continue;
    const PatchBlob& blob = kPatchStore[i];
    if (blob.begin == nullptr) return Miss(data, length);
    if (data) *data = blob.begin;
    // The store refuses files of 4 GiB or more when it is built, so the length fits.
    if (length) *length = static_cast<uint32_t>(blob.end - blob.begin);
    return 1;
  }
  return Miss(data, length);
}

}  // namespace tvl
