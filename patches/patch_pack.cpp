#include "patches/patch_pack.h"

#include "platform/text.h"
#include "zip/zipped_file.h"

namespace tvl {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithNoCase(std::string_view text, std::string_view ending) {
  if (text.size() < ending.size()) return false;
  text.remove_prefix(text.size() - ending.size());
  for (size_t i = 0; i < ending.size(); ++i) {
    if (Lower(text[i]) != ending[i]) return false;
  }
  return true;
}

}  // namespace

bool IsPatchPackName(const Path& file) {
  return EndsWithNoCase(PathToUtf8(file.filename()), ".zip");
}

bool FindPackEntry(const Path& pack, std::u16string_view name, std::string* entry) {
  ZipDirectory directory;
  ZipReport report;
  if (!ReadZipFile(pack, &directory, &report)) return false;
  const std::string wanted = Narrow(name);
  constexpr std::string_view kExtension = ".vcdiff";
  for (const ZipEntry& candidate : directory.entries) {
    std::string_view base = candidate.name;
    base.remove_prefix(base.find_last_of('/') + 1);  // npos + 1 is 0: no folder
    if (base.size() != wanted.size() + kExtension.size()) continue;
    if (!EndsWithNoCase(base, kExtension) || !base.starts_with(wanted)) continue;
    *entry = candidate.name;
    return true;
  }
  return false;
}

}  // namespace tvl
