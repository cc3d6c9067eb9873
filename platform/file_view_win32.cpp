#include <windows.h>

#include <cstdint>

#include "platform/file_view.h"
#include "platform/file_view_guard.h"

namespace tvl {
namespace {

// A 32-bit program has 2 to 4 GiB of addresses for everything: a view larger than this could
// leave the decoder no room for its buffers, and the file is read instead.
constexpr uint64_t kLargestView = sizeof(void*) < 8 ? uint64_t{512} << 20 : SIZE_MAX / 2;

}  // namespace

bool FileView::RegularFileSize(const File& file, uint64_t* size, FileError* error) {
  HANDLE handle = reinterpret_cast<HANDLE>(file.handle_);
  if (!file.is_open()) {
    if (error) *error = ERROR_INVALID_HANDLE;
    return false;
  }
  // Pipes and devices have no size that says anything of their bytes.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    if (error) *error = ERROR_NOT_SUPPORTED;
    return false;
  }
  LARGE_INTEGER bytes{};
  if (!GetFileSizeEx(handle, &bytes)) {
    if (error) *error = GetLastError();
    return false;
  }
  *size = static_cast<uint64_t>(bytes.QuadPart);
  return true;
}

FileView FileView::Map(const File& file, FileError* error) {
  FileView view;
  uint64_t size = 0;
  if (!RegularFileSize(file, &size, error)) return view;
  if (size > kLargestView) {
    if (error) *error = ERROR_NOT_ENOUGH_MEMORY;
    return view;
  }
  // An empty file has nothing to map, and CreateFileMapping refuses one.
  if (size != 0) {
    HANDLE mapping = CreateFileMappingW(reinterpret_cast<HANDLE>(file.handle_), nullptr,
                                        PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) {
      if (error) *error = GetLastError();
      return view;
    }
    void* data = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
    const DWORD map_error = GetLastError();
    CloseHandle(mapping);  // the view holds the mapping open
    if (data == nullptr) {
      if (error) *error = map_error;
      return view;
    }
    view.guard_slot_ = GuardView(data, static_cast<size_t>(size));
    if (view.guard_slot_ < 0) {
      // Unguarded, a page that can't be read would stop the process: read the file instead.
      UnmapViewOfFile(data);
      if (error) *error = ERROR_NOT_SUPPORTED;
      return view;
    }
    view.data_ = static_cast<const uint8_t*>(data);
  }
  view.size_ = size;
  view.mapped_ = true;
  return view;
}

bool FileView::faulted(FileError* reason) const {
  uint32_t status = 0;
  if (!ViewFaulted(guard_slot_, &status)) return false;
  if (reason) {
    // The handler recorded the system's NTSTATUS for the page; ERROR_MR_MID_NOT_FOUND is a status
    // without a Win32 counterpart.
    using StatusToError = ULONG(WINAPI*)(LONG status);
    const auto to_error = reinterpret_cast<StatusToError>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlNtStatusToDosError")));
    const ULONG error = to_error != nullptr ? to_error(static_cast<LONG>(status)) : 0;
    *reason = error != 0 && error != ERROR_MR_MID_NOT_FOUND ? error : ERROR_READ_FAULT;
  }
  return true;
}

void FileView::Unmap() {
  UnguardView(guard_slot_);
  guard_slot_ = -1;
  if (data_ != nullptr) UnmapViewOfFile(data_);
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace tvl
