#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file_faults.h"
#include "platform/file_ops.h"
#include "platform/long_path_win32.h"
#include "platform/temp_file_win32.h"

namespace tvl {
namespace {

bool FailWithLastError(FileError* error) {
  if (error) *error = GetLastError();
  return false;
}

// A file handle closed on every way out.
class OwnedFile {
 public:
  explicit OwnedFile(HANDLE handle) : handle_(handle) {}
  ~OwnedFile() {
    if (valid()) CloseHandle(handle_);
  }
  OwnedFile(const OwnedFile&) = delete;
  OwnedFile& operator=(const OwnedFile&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

uint64_t Ticks(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Has the file's data reach the disk: a rename reaches it at once, and a power cut must not leave
// the name on a file whose bytes never got there. False when that can't be made sure of.
bool FlushFile(const std::wstring& path, FileError* error) {
  if (CheckFileFault(FileOp::kFlush, error) != FileFault::kNone) return false;
  OwnedFile file(CreateFileW(path.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return (file.valid() && FlushFileBuffers(file.get())) || FailWithLastError(error);
}

// What a replaced file had besides its bytes that a plain move would lose: its attributes
// (hidden, archive...) and creation time go onto the new file before it takes the old one's place.
void CarryOverMetadata(const std::wstring& from, const std::wstring& to) {
  WIN32_FILE_ATTRIBUTE_DATA old_file;
  if (!GetFileAttributesExW(to.c_str(), GetFileExInfoStandard, &old_file)) return;
  OwnedFile file(CreateFileW(from.c_str(), FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.valid()) SetFileTime(file.get(), &old_file.ftCreationTime, nullptr, nullptr);
  const DWORD kept =
      old_file.dwFileAttributes & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
  SetFileAttributesW(from.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

Path TempFolder() {
  // Whatever TMP says, however long; asked again if it changed between the calls.
  std::wstring buffer(MAX_PATH + 1, L'\0');
  for (int round = 0; round < 4; ++round) {
    DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return Path(buffer);
    }
    buffer.resize(length);
  }
  return {};
}

Path MakeTempFile(const Path& folder, FileError* error) {
  if (CheckFileFault(FileOp::kMakeTemp, error) != FileFault::kNone) return {};
  return MakeTempFileFrom(folder, SystemRandom64, error);
}

bool RemoveFile(const Path& path, FileError* error) {
  if (CheckFileFault(FileOp::kRemove, error) != FileFault::kNone) return false;
  return DeleteFileW(Win32Path(path).c_str()) || FailWithLastError(error);
}

bool CanReplaceFile(const Path& path, FileError* error) {
  DWORD attributes = GetFileAttributesW(Win32Path(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FailWithLastError(error);
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    if (error) *error = ERROR_ACCESS_DENIED;
    return false;
  }
  // Opening for deletion fails when another program holds the file without delete sharing.
  HANDLE handle = CreateFileW(Win32Path(path).c_str(), DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FailWithLastError(error);
  CloseHandle(handle);
  return true;
}

bool MoveFileReplacing(const Path& from, const Path& to, FileError* error) {
  if (CheckFileFault(FileOp::kRename, error) != FileFault::kNone) return false;
  const std::wstring source = Win32Path(from), target = Win32Path(to);
  if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    // As on POSIX, a file that replaces nothing risks nothing by waiting for the system's own
    // writeback.
    if (!FlushFile(source, error)) return false;
    CarryOverMetadata(source, target);
  }
  // One rename that replaces: at every instant the path holds the old file or the whole new one.
  // ReplaceFileW would keep more of the old file's metadata, but it moves the old file aside
  // first, and a program ended between its two moves would leave nothing at the path. Cut short,
  // the move has not happened.
  if (SwapFaultStops(error, ERROR_OPERATION_ABORTED)) return false;
  // MOVEFILE_WRITE_THROUGH has the data and the new name reach the disk before this returns.
  return MoveFileExW(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         FailWithLastError(error);
}

bool MoveFileNoReplace(const Path& from, const Path& to, FileError* error) {
  return MoveFileExW(Win32Path(from).c_str(), Win32Path(to).c_str(), MOVEFILE_WRITE_THROUGH) ||
         FailWithLastError(error);
}

std::vector<Path> FindLeftoverTempFiles(const Path& folder) {
  std::vector<Path> found;
  std::error_code error;
  FILETIME now_time = {};
  GetSystemTimeAsFileTime(&now_time);
  const uint64_t now = Ticks(now_time);
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (!IsOurTempFileName(it->path().filename())) continue;
    // No sharing at all: a file that another run still has open is not opened, so not listed.
    // Asking for deletion makes the sharing count: attributes alone would be granted anyway.
    OwnedFile file(CreateFileW(Win32Path(it->path()).c_str(), DELETE | FILE_READ_ATTRIBUTES, 0,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) continue;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
      continue;
    }
    constexpr uint64_t kTicksPerSecond = 10'000'000;
    if (now < Ticks(info.ftLastWriteTime) + kLeftoverTempSeconds * kTicksPerSecond) continue;
    found.push_back(it->path());
  }
  return found;
}

}  // namespace tvl
