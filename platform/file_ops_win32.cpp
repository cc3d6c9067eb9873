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

// Has the file's data reach the disk; ReplaceFileW has no write-through of its own.
void FlushFile(const std::wstring& path) {
  OwnedFile file(CreateFileW(path.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.valid()) FlushFileBuffers(file.get());
}

enum class Replace { kDone, kFailed, kUnchanged, kCutShort };

// ReplaceFileW keeps the replaced file's attributes, security descriptor, alternate streams and
// creation time. With a backup name it never leaves the old file without a name: each failure
// says where both files are, and the old one goes back to its path whenever it had to move. The
// backup takes a name that says what it is, never a temporary file's: should the program end
// between ReplaceFileW's two moves, it is the user's only copy.
Replace ReplaceKeepingMetadata(const Path& from, const Path& to) {
  const std::wstring source = Win32Path(from), target = Win32Path(to);
  const Path backup_path = FreeSiblingPath(to, kSwapBackupSuffix);
  if (backup_path.empty()) return Replace::kUnchanged;
  const std::wstring backup = Win32Path(backup_path);
  FlushFile(source);
  if (CheckFileFault(FileOp::kSwap, nullptr) == FileFault::kCutShort) {
    // As ReplaceFileW leaves things when the program ends after its first move.
    MoveFileExW(target.c_str(), backup.c_str(), MOVEFILE_WRITE_THROUGH);
    return Replace::kCutShort;
  }
  if (ReplaceFileW(target.c_str(), source.c_str(), backup.c_str(),
                   REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                   nullptr)) {
    DeleteFileW(backup.c_str());
    FlushFile(target);
    return Replace::kDone;
  }
  const DWORD reason = GetLastError();
  // Whatever ReplaceFileW reported, the old file ends under its own name: a backup is removed
  // only while the file it copies is still there.
  const bool old_in_place = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!old_in_place) {
    MoveFileExW(backup.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
  } else {
    DeleteFileW(backup.c_str());
  }
  switch (reason) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
      // The plain move would meet the same refusal.
      SetLastError(reason);
      return Replace::kFailed;
    default:
      // Not supported here (a FAT volume, a network share) or refused before anything moved.
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
  if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           FailWithLastError(error);
  }
  // The new file first takes a name that says where it goes: during the swap it may be the only
  // complete file, and a temporary file's name would have the clean-up remove it.
  const Path staged_path = FreeSiblingPath(to, kSwapNewSuffix);
  if (staged_path.empty()) {
    if (error) *error = ERROR_FILE_EXISTS;
    return false;
  }
  const std::wstring staged = Win32Path(staged_path);
  if (!MoveFileExW(source.c_str(), staged.c_str(), MOVEFILE_WRITE_THROUGH))
    return FailWithLastError(error);
  auto undo = [&] {
    const DWORD reason = GetLastError();
    MoveFileExW(staged.c_str(), source.c_str(), MOVEFILE_WRITE_THROUGH);
    SetLastError(reason);
    return FailWithLastError(error);
  };
  switch (ReplaceKeepingMetadata(staged_path, to)) {
    case Replace::kDone:
      return true;
    case Replace::kFailed:
      return undo();
    case Replace::kCutShort:
      if (error) *error = ERROR_OPERATION_ABORTED;
      return false;
    case Replace::kUnchanged:
      break;  // the plain move below keeps today's guarantees
  }
  return MoveFileExW(staged.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         undo();
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
