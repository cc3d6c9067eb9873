#include <windows.h>

#include <cstddef>
#include <limits>

#include "platform/file_view.h"

namespace tvl {
namespace {

// A read error in a mapped view is an exception, not a failed call: on a network share, where
// errors are ordinary, the file is read instead. Only remote files answer this query.
bool IsRemote(HANDLE handle) {
  FILE_REMOTE_PROTOCOL_INFO info{};
  return GetFileInformationByHandleEx(handle, FileRemoteProtocolInfo, &info, sizeof info) != 0;
}

}  // namespace

FileView FileView::Map(const File& file, FileError* error) {
  FileView view;
  HANDLE handle = reinterpret_cast<HANDLE>(file.handle_);
  LARGE_INTEGER size{};
  // Only files on disk can be mapped; pipes and devices are read.
  if (file.is_open() && GetFileType(handle) != FILE_TYPE_DISK) {
    if (error) *error = ERROR_NOT_SUPPORTED;
    return view;
  }
  if (!file.is_open() || !GetFileSizeEx(handle, &size)) {
    if (error) *error = file.is_open() ? GetLastError() : ERROR_INVALID_HANDLE;
    return view;
  }
  const uint64_t bytes = static_cast<uint64_t>(size.QuadPart);
  if (bytes > std::numeric_limits<size_t>::max()) {
    if (error) *error = ERROR_NOT_ENOUGH_MEMORY;
    return view;
  }
  if (IsRemote(handle)) {
    if (error) *error = ERROR_NOT_SUPPORTED;
    return view;
  }
  // CreateFileMapping refuses an empty file; there is nothing to show anyway.
  if (bytes != 0) {
    HANDLE mapping = CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) {
      if (error) *error = GetLastError();
      return view;
    }
    // The view keeps the mapping alive on its own.
    void* data = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(bytes));
    const FileError map_error = GetLastError();
    CloseHandle(mapping);
    if (data == nullptr) {
      if (error) *error = map_error;
      return view;
    }
    view.data_ = static_cast<const uint8_t*>(data);
  }
  view.size_ = bytes;
  view.mapped_ = true;
  return view;
}

void FileView::ReleasePages() {
  // Unlocking pages that are not locked takes them out of the working set; it then reports
  // ERROR_NOT_LOCKED, which is expected.
  if (data_ != nullptr) VirtualUnlock(const_cast<uint8_t*>(data_), static_cast<SIZE_T>(size_));
}

void FileView::Unmap() {
  if (data_ != nullptr) UnmapViewOfFile(data_);
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace tvl
