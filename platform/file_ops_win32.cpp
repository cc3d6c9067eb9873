#include <windows.h>

#include "platform/file_faults.h"
#include "platform/file_ops.h"

namespace tvl {
namespace {

bool Fail(FileError* error) {
  if (error) *error = GetLastError();
  return false;
}

}  // namespace

Path TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return (length == 0 || length > MAX_PATH) ? Path() : Path(buffer);
}

Path MakeTempFile(const Path& folder, FileError* error) {
  wchar_t buffer[MAX_PATH] = {};
  if (GetTempFileNameW(folder.c_str(), L"Tarvelline", 0, buffer) == 0) {
    Fail(error);
    return {};
  }
  return Path(buffer);
}

bool RemoveFile(const Path& path, FileError* error) {
  if (CheckFileFault(FileOp::kRemove, error) != FileFault::kNone) return false;
  return DeleteFileW(path.c_str()) || Fail(error);
}

bool CanReplaceFile(const Path& path, FileError* error) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail(error);
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    if (error) *error = ERROR_ACCESS_DENIED;
    return false;
  }
  // Opening for deletion fails when another program holds the file without delete sharing.
  HANDLE handle =
      CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail(error);
  CloseHandle(handle);
  return true;
}

bool MoveFileReplacing(const Path& from, const Path& to, FileError* error) {
  if (CheckFileFault(FileOp::kRename, error) != FileFault::kNone) return false;
  return MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         Fail(error);
}

}  // namespace tvl
