#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/file_faults.h"
#include "platform/file_ops.h"
#include "platform/long_path_win32.h"
#include "platform/temp_file_win32.h"

namespace tvl {
namespace {

bool Fail(FileError* error) {
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

// Has the file's data reach the disk; ReplaceFileW has no write-through of its own.
void FlushFile(const std::wstring& path) {
  OwnedFile file(CreateFileW(path.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.valid()) FlushFileBuffers(file.get());
}

enum class Replace { kDone, kFailed, kUnchanged };

// ReplaceFileW keeps the replaced file's attributes, security descriptor, alternate streams and
// creation time. With a backup name it never leaves the old file without a name: each failure
// says where both files are, and the old one goes back to its path whenever it had to move.
Replace ReplaceKeepingMetadata(const Path& from, const Path& to) {
  const std::wstring source = Win32Path(from), target = Win32Path(to);
  Path folder = to.parent_path();
  const std::wstring backup =
      Win32Path((folder.empty() ? Path(".") : folder) / TempFileName(SystemRandom64()));
  FlushFile(source);
  if (ReplaceFileW(target.c_str(), source.c_str(), backup.c_str(),
                   REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                   nullptr)) {
    DeleteFileW(backup.c_str());
    FlushFile(target);
    return Replace::kDone;
  }
  const DWORD reason = GetLastError();
  switch (reason) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
      // The old file is at the backup name and the new one at its own: put the old one back.
      MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
      SetLastError(reason);
      return Replace::kFailed;
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
      // Both files kept their names; the plain move would meet the same refusal.
      DeleteFileW(backup.c_str());
      SetLastError(reason);
      return Replace::kFailed;
    default:
      // Not supported here (a FAT volume, a network share) or refused before anything moved.
      DeleteFileW(backup.c_str());
      return Replace::kUnchanged;
  }
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
  return DeleteFileW(Win32Path(path).c_str()) || Fail(error);
}

bool CanReplaceFile(const Path& path, FileError* error) {
  DWORD attributes = GetFileAttributesW(Win32Path(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail(error);
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    if (error) *error = ERROR_ACCESS_DENIED;
    return false;
  }
  // Opening for deletion fails when another program holds the file without delete sharing.
  HANDLE handle = CreateFileW(Win32Path(path).c_str(), DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail(error);
  CloseHandle(handle);
  return true;
}

bool MoveFileReplacing(const Path& from, const Path& to, FileError* error) {
  if (CheckFileFault(FileOp::kRename, error) != FileFault::kNone) return false;
  const std::wstring source = Win32Path(from), target = Win32Path(to);
  if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    switch (ReplaceKeepingMetadata(from, to)) {
      case Replace::kDone:
        return true;
      case Replace::kFailed:
        return Fail(error);
      case Replace::kUnchanged:
        break;  // the plain move below keeps today's guarantees
    }
  }
  return MoveFileExW(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         Fail(error);
}

int RemoveLeftoverTempFiles(const Path& folder) {
  int removed = 0;
  std::error_code error;
  FILETIME now_time = {};
  GetSystemTimeAsFileTime(&now_time);
  const uint64_t now = Ticks(now_time);
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (!IsOurTempFileName(it->path().filename())) continue;
    // No sharing at all: a file that another run still has open is not opened, so not removed.
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
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                   sizeof disposition)) {
      ++removed;
    }
  }
  return removed;
}

}  // namespace tvl
