#include "platform/file.h"
#include "platform/text.h"

#include <utility>

namespace tvl {

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, kInvalid)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kInvalid);
  }
  return *this;
}

std::string PathToUtf8(const Path& path) {
#ifdef _WIN32
  // Not path.u8string(): it throws on a lone surrogate, which a Windows name may hold.
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows names are UTF-16");
  const std::wstring& name = path.native();
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size()));
#else
  // POSIX names are bytes; they are given back as the system holds them.
  return path.native();
#endif
}

}  // namespace tvl
