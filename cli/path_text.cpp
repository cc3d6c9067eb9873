#include "cli/path_text.h"

namespace tvl::cli {
namespace {

[[maybe_unused]] void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xc0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xe0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else {
    out->push_back(static_cast<char>(0xf0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  }
}

}  // namespace

std::string PathText(const Path& path) {
#ifdef _WIN32
  // The standard library's own conversion throws on a lone surrogate.
  const std::wstring& name = path.native();
  std::string text;
  text.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    char32_t c = static_cast<char16_t>(name[i]);
    if (c >= 0xd800 && c <= 0xdbff && i + 1 < name.size() &&
        static_cast<char16_t>(name[i + 1]) >= 0xdc00 &&
        static_cast<char16_t>(name[i + 1]) <= 0xdfff) {
      c = 0x10000 + ((c - 0xd800) << 10) + (static_cast<char16_t>(name[++i]) - 0xdc00);
    } else if (c >= 0xd800 && c <= 0xdfff) {
      c = 0xfffd;
    }
    AppendUtf8(&text, c);
  }
  return text;
#else
  return path.native();
#endif
}

}  // namespace tvl::cli
