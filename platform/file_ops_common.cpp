#include <string>
#include <string_view>
#include <system_error>

#include "platform/file_ops.h"
#include "platform/write_beside.h"

namespace tvl {

bool ReadWholeFile(const Path& path, std::vector<uint8_t>* bytes, FileError* error) {
  bytes->clear();
  File file = File::OpenForRead(path, error);
  if (!file.is_open()) return false;
  std::error_code size_error;
  uintmax_t size = std::filesystem::file_size(path, size_error);
  if (!size_error && size < (uintmax_t{1} << 40)) bytes->reserve(static_cast<size_t>(size));
  constexpr size_t kChunk = size_t{1} << 20;
  for (;;) {
    // Reads stay within the room reserved for the size the file had, so a file that keeps its
    // size is read without the buffer ever moving (or doubling); only one that grew makes room.
    const size_t at = bytes->size();
    const size_t room = bytes->capacity() - at;
    if (room == 0) {
      uint8_t probe[4096];
      const int64_t got = file.Read(probe, sizeof probe, error);
      if (got <= 0) return got == 0;
      bytes->insert(bytes->end(), probe, probe + got);
      continue;
    }
    const size_t want = room < kChunk ? room : kChunk;
    bytes->resize(at + want);
    const int64_t got = file.Read(bytes->data() + at, want, error);
    bytes->resize(at + static_cast<size_t>(got > 0 ? got : 0));
    if (got < 0) return false;
    if (got == 0) return true;
  }
}

Path FolderOf(const Path& path) {
  Path folder = path.parent_path();
  return folder.empty() ? Path(".") : folder;
}

bool WriteWholeFile(const Path& path, std::span<const uint8_t> bytes, FileError* error) {
  WriteBeside beside;
  if (beside.Begin(path, error) != BesideStart::kReady) return false;
  File file = File::CreateForWrite(beside.temp_path(), error);
  // Closed before the move, and on failure before the temporary file is removed.
  return file.is_open() && file.Write(bytes.data(), bytes.size(), error) == bytes.size() &&
         file.Close(error) && beside.PutInPlace(error);
}

bool IsOurTempFileName(const Path& name) {
  // "Tarvelline-" + 6 to 16 letters or digits + ".tmp": the Windows and the POSIX forms.
  const std::u8string text = name.u8string();
  constexpr std::u8string_view kPrefix = u8"Tarvelline-", kSuffix = u8".tmp";
  if (text.size() < kPrefix.size() + 6 + kSuffix.size() ||
      text.size() > kPrefix.size() + 16 + kSuffix.size() || !text.starts_with(kPrefix) ||
      !text.ends_with(kSuffix)) {
    return false;
  }
  for (size_t i = kPrefix.size(); i < text.size() - kSuffix.size(); ++i) {
    const char8_t c = text[i];
    if (!((c >= u8'0' && c <= u8'9') || (c >= u8'a' && c <= u8'z') || (c >= u8'A' && c <= u8'Z'))) {
      return false;
    }
  }
  return true;
}

Path FreeSiblingPath(const Path& path, std::string_view suffix) {
  const std::u8string base =
      path.filename().u8string() + std::u8string(suffix.begin(), suffix.end());
  for (int number = 1; number < 100; ++number) {
    std::u8string name = base;
    if (number > 1) {
      name += u8'-';
      for (char digit : std::to_string(number)) name += static_cast<char8_t>(digit);
    }
    const Path candidate = path.parent_path() / Path(name);
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error))) {
      return candidate;
    }
  }
  return {};
}

Path SiblingOrigin(const Path& name_with_suffix, std::string_view suffix) {
  std::u8string name = name_with_suffix.filename().u8string();
  const std::u8string mark(suffix.begin(), suffix.end());
  const size_t at = name.rfind(mark);
  if (at == std::u8string::npos || at == 0) return {};
  const std::u8string tail = name.substr(at + mark.size());
  if (!tail.empty()) {
    if (tail.size() < 2 || tail[0] != u8'-') return {};
    for (size_t i = 1; i < tail.size(); ++i) {
      if (tail[i] < u8'0' || tail[i] > u8'9') return {};
    }
  }
  return name_with_suffix.parent_path() / Path(name.substr(0, at));
}

bool SameFile(const Path& a, const Path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace tvl
