#include "platform/long_path_win32.h"

#include <windows.h>

namespace tvl {
namespace {

// The least of the calls' limits, CreateDirectoryW's: room for an 8.3 name in the folder.
constexpr size_t kShortPathLimit = MAX_PATH - 12;

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, wcslen(prefix), prefix) == 0;
}

// "\\?\" paths go to the file system untouched and "\\.\" ones name devices: neither is ours to
// rewrite.
bool IsRawPath(const std::wstring& text) {
  return StartsWith(text, L"\\\\?\\") || StartsWith(text, L"\\\\.\\");
}

// The absolute, normalised form: separators as backslashes, "." and ".." resolved, relative paths
// joined to the current folder. The extended-length form skips that normalisation, so it must be
// done here. Empty on failure.
std::wstring FullPathName(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  // The current folder may change between the calls; give up after a few rounds.
  for (int round = 0; round < 4; ++round) {
    DWORD got =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (got == 0) return {};
    if (got < full.size()) {
      full.resize(got);
      return full;
    }
    // Too small: `got` is the size needed, terminator included.
    full.resize(got);
  }
  return {};
}

}  // namespace

std::wstring Win32Path(const Path& path) {
  const std::wstring& text = path.native();
  if (text.empty() || IsRawPath(text)) return text;
  // A short relative name may still be long once joined to a deep current folder.
  std::wstring full = FullPathName(text);
  if (full.size() < kShortPathLimit || IsRawPath(full)) return text;
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace tvl
