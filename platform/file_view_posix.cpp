#include <sys/mman.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstddef>
#include <limits>

#include "platform/file_view.h"

namespace tvl {

FileView FileView::Map(const File& file, FileError* error) {
  FileView view;
  struct stat info;
  if (!file.is_open() || ::fstat(static_cast<int>(file.handle_), &info) != 0) {
    if (error) *error = file.is_open() ? static_cast<FileError>(errno) : EBADF;
    return view;
  }
  // Pipes, devices and the like have no size to map, or one that says nothing of their bytes.
  if (!S_ISREG(info.st_mode)) {
    if (error) *error = ENODEV;
    return view;
  }
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  if (size > std::numeric_limits<size_t>::max()) {
    if (error) *error = ENOMEM;
    return view;
  }
  // An empty file has nothing to map, and mmap refuses a zero length.
  if (size != 0) {
    void* data = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE,
                        static_cast<int>(file.handle_), 0);
    if (data == MAP_FAILED) {
      if (error) *error = static_cast<FileError>(errno);
      return view;
    }
    view.data_ = static_cast<const uint8_t*>(data);
  }
  view.size_ = size;
  view.mapped_ = true;
  return view;
}

void FileView::ReleasePages() {
  // For a file mapping this drops our page table entries only; the file's pages stay cached.
  if (data_ != nullptr) {
    ::madvise(const_cast<uint8_t*>(data_), static_cast<size_t>(size_), MADV_DONTNEED);
  }
}

void FileView::Unmap() {
  if (data_ != nullptr) ::munmap(const_cast<uint8_t*>(data_), static_cast<size_t>(size_));
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace tvl
