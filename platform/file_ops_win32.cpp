#include <windows.h>

#include <string>

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
  return MoveFileExW(Win32Path(from).c_str(), Win32Path(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         Fail(error);
}

}  // namespace tvl
