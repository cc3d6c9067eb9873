#include "catalogue/catalogue.h"

#include <cstring>

namespace tvl {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

void ApplyDigestOverrides() {
  for (const DigestOverride& override : CatalogueDigestOverrides()) {
    for (IwadRecord& record : IwadCatalogue) {
      if (std::u16string_view(record.game_id) == override.game_id &&
          std::u16string_view(record.version_id) == override.version_id) {
        std::strncpy(record.sha1_hex, override.sha1_hex, sizeof record.sha1_hex - 1);
        record.sha1_hex[sizeof record.sha1_hex - 1] = '\0';
      }
    }
  }
}

}  // namespace

void InitIwadCatalogue() {
  for (int i = 0; i < kIwadCount; ++i) IwadCatalogue[i].index = i;
  ApplyDigestOverrides();
}

const IwadRecord& GetIwad(int index) { return IwadCatalogue[index]; }

int FindIwadByDigest(std::string_view sha1_hex) {
  for (int i = 0; i < kIwadCount; ++i) {
    if (EqualIgnoringAsciiCase(IwadCatalogue[i].sha1_hex, sha1_hex)) return i;
  }
  return -1;
}

std::u16string FormatReleaseId(const IwadRecord& record) {
  std::u16string id(record.game_id);
  id += u'_';
  id += record.version_id;
  return id;
}

int FindIwadByReleaseId(std::u16string_view id) {
  for (int i = 0; i < kIwadCount; ++i) {
    if (FormatReleaseId(IwadCatalogue[i]) == id) return i;
  }
  return -1;
}

}  // namespace tvl
