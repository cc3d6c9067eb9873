#include <windows.h>

#include "platform/file.h"
#include "platform/file_faults.h"
#include "platform/long_path_win32.h"
#include "platform/text.h"

namespace tvl {
namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

void Report(FileError* error) {
  if (error) *error = GetLastError();
}

// ReadFile and WriteFile take 32-bit counts; larger requests go through in pieces of this size.
constexpr size_t kMaxIo = size_t{1} << 30;

}  // namespace

File File::OpenForRead(const Path& path, FileError* error) {
  if (CheckFileFault(FileOp::kOpenRead, error) != FileFault::kNone) return File();
  HANDLE h = CreateFileW(Win32Path(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) Report(error);
  return File(reinterpret_cast<intptr_t>(h));
}

File File::CreateForWrite(const Path& path, FileError* error) {
  if (CheckFileFault(FileOp::kCreate, error) != FileFault::kNone) return File();
  HANDLE h = CreateFileW(Win32Path(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) Report(error);
  return File(reinterpret_cast<intptr_t>(h));
}

int64_t File::Read(void* buffer, size_t size, FileError* error) {
  DWORD got = 0;
  if (!is_open()) {
    if (error) *error = ERROR_INVALID_HANDLE;
    return -1;
  }
  if (int64_t injected; InjectedRead(error, &injected)) return injected;
  DWORD want = static_cast<DWORD>(size < kMaxIo ? size : kMaxIo);
  if (!ReadFile(AsHandle(handle_), buffer, want, &got, nullptr)) {
    Report(error);
    return -1;
  }
  return got;
}

int64_t File::ReadAt(uint64_t offset, void* buffer, size_t size, FileError* error) {
  if (!is_open()) {
    if (error) *error = ERROR_INVALID_HANDLE;
    return -1;
  }
  if (int64_t injected; InjectedRead(error, &injected)) return injected;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD want = static_cast<DWORD>(size < kMaxIo ? size : kMaxIo);
  DWORD got = 0;
  if (!ReadFile(AsHandle(handle_), buffer, want, &got, &at)) {
    if (GetLastError() == ERROR_HANDLE_EOF) return 0;
    Report(error);
    return -1;
  }
  return got;
}

bool File::Seek(uint64_t offset, FileError* error) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!is_open() || offset > static_cast<uint64_t>(INT64_MAX) ||
      !SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN)) {
    if (error) *error = is_open() ? GetLastError() : ERROR_INVALID_HANDLE;
    return false;
  }
  return true;
}

size_t File::Write(const void* data, size_t size, FileError* error) {
  if (!is_open()) {
    if (error) *error = ERROR_INVALID_HANDLE;
    return 0;
  }
  if (CheckFileFault(FileOp::kWrite, error) != FileFault::kNone) return 0;
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    DWORD want = static_cast<DWORD>(size - done < kMaxIo ? size - done : kMaxIo);
    DWORD put = 0;
    if (!WriteFile(AsHandle(handle_), bytes + done, want, &put, nullptr) || put == 0) {
      Report(error);
      break;
    }
    done += put;
  }
  return done;
}

bool File::Close(FileError* error) {
  if (!is_open()) return true;
  HANDLE h = AsHandle(handle_);
  handle_ = kInvalid;
  // An injected failure still lets go of the handle, as a real one does.
  const bool injected = CheckFileFault(FileOp::kClose, error) != FileFault::kNone;
  if (!CloseHandle(h)) {
    if (!injected) Report(error);
    return false;
  }
  return !injected;
}

std::string DescribeFileError(FileError error) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  // The text is in the user's language, so it is converted, not narrowed to ASCII.
  std::u16string line;
  for (DWORD i = 0; i < length; ++i) {
    if (text[i] != L'\r' && text[i] != L'\n') line.push_back(static_cast<char16_t>(text[i]));
  }
  if (text) LocalFree(text);
  std::string result = Utf16ToUtf8(line);
  while (!result.empty() && (result.back() == ' ' || result.back() == '.')) result.pop_back();
  if (result.empty()) result = "system error " + std::to_string(error);
  return result;
}

}  // namespace tvl
