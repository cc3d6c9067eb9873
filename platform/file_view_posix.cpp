#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstddef>
#include <limits>

#include "platform/file_view.h"
#include "platform/file_view_guard.h"

namespace tvl {
namespace {

// The mapping's length in whole pages, which is what a fault can fall into.
size_t PageRounded(size_t size) {
  const long page = ::sysconf(_SC_PAGESIZE);
  const size_t page_size = page > 0 ? static_cast<size_t>(page) : 4096;
  return (size + page_size - 1) / page_size * page_size;
}

}  // namespace

bool FileView::RegularFileSize(const File& file, uint64_t* size, FileError* error) {
  struct stat info;
  if (!file.is_open() || ::fstat(static_cast<int>(file.handle_), &info) != 0) {
    if (error) *error = file.is_open() ? static_cast<FileError>(errno) : EBADF;
    return false;
  }
  // Pipes, devices and the like have no size, or one that says nothing of their bytes.
  if (!S_ISREG(info.st_mode)) {
    if (error) *error = ENODEV;
    return false;
  }
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

FileView FileView::Map(const File& file, FileError* error) {
  FileView view;
  uint64_t size = 0;
  if (!RegularFileSize(file, &size, error)) return view;
  if (size > std::numeric_limits<size_t>::max() / 2) {
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
#ifdef MADV_HUGEPAGE
    // Only a hint. Parts of the file not yet in the cache then come in as large pages, which
    // this view and later ones map whole: the decoder's short copies from all over a source
    // seldom miss the TLB. Parts read in as small pages stay so while they are cached.
    ::madvise(data, static_cast<size_t>(size), MADV_HUGEPAGE);
#endif
    view.guard_slot_ = GuardView(data, PageRounded(static_cast<size_t>(size)));
    if (view.guard_slot_ < 0) {
      // Unguarded, a file cut short would stop the process: read it instead.
      ::munmap(data, static_cast<size_t>(size));
      if (error) *error = ENOMEM;
      return view;
    }
    view.data_ = static_cast<const uint8_t*>(data);
  }
  view.size_ = size;
  view.mapped_ = true;
  return view;
}

bool FileView::faulted(FileError* reason) const {
  uint32_t error = 0;
  if (!ViewFaulted(guard_slot_, &error)) return false;
  if (reason) *reason = error;
  return true;
}

bool ReadViews(void (*read)(void* context), void* context) {
  read(context);
  return true;
}

void FileView::Unmap() {
  UnguardView(guard_slot_);
  guard_slot_ = -1;
  if (data_ != nullptr) ::munmap(const_cast<uint8_t*>(data_), static_cast<size_t>(size_));
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

}  // namespace tvl
