#include <windows.h>

#include "platform/file_view.h"

namespace tvl {

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

// A page of a mapped view that can't be read (a USB stick pulled out, a network share gone)
// raises an in-page error inside whatever copies from it, the decoder's memcpy, which no result
// can be made of there. Files are read instead, where the same failure is a failed ReadFile with
// the system's reason.
FileView FileView::Map(const File& file, FileError* error) {
  if (error) *error = file.is_open() ? ERROR_NOT_SUPPORTED : ERROR_INVALID_HANDLE;
  return FileView();
}

bool FileView::faulted(FileError* /*reason*/) const { return false; }

void FileView::Unmap() {
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace tvl
