// A read-only view of a whole open file, for reading its bytes without copying them.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace tvl {

// Unmapped when it goes out of scope.
//
// A page of a view that can't be read (the file was cut short by another program, the disk
// failed or went away) is not a failed call but a fault in whatever code touches it. Views are
// therefore made only where that fault can be caught. On POSIX a process-wide SIGBUS handler
// replaces the rest of the view with zeros, so the access completes. On Windows, which can't do
// that inside a copy, the read must run inside ReadViews, and the fault ends it there. Either way
// the view is marked faulted, and whoever reads a view checks faulted() before trusting what it
// read.
class FileView {
 public:
  FileView() = default;
  ~FileView();
  FileView(FileView&& other) noexcept;
  FileView& operator=(FileView&& other) noexcept;
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

  // Maps all of `file`. Fails (is_mapped() false) for anything but a regular file, and where the
  // system can't (a 32-bit address space without room) or won't; callers then read the file
  // instead.
  static FileView Map(const File& file, FileError* error = nullptr);

  // The size of `file` now when it is a regular file; false, with the reason, for pipes,
  // devices and failures. For telling a file that ends early from one that ends where it did.
  static bool RegularFileSize(const File& file, uint64_t* size, FileError* error = nullptr);

  bool is_mapped() const { return mapped_; }
  const uint8_t* data() const { return data_; }
  uint64_t size() const { return size_; }

  // True once a page of the view could not be read, with the system's reason for an unreadable
  // page in `reason`. On POSIX its bytes, and those of every page after it, read as zeros from
  // then on.
  bool faulted(FileError* reason = nullptr) const;

 private:
  void Unmap();
  const uint8_t* data_ = nullptr;  // null for an empty file
  uint64_t size_ = 0;
  bool mapped_ = false;
  int guard_slot_ = -1;  // where the fault handler knows this view, or -1
};

// Calls `read(context)`, which may read views. On POSIX a fault in a view is patched over and the
// call runs to its end. On Windows a fault in a view ends the call where it happened, and this
// returns false; so `read` must hold nothing that needs giving back when it is cut short, and
// leave whatever it was working on to be thrown away. True when the call ran to its end.
bool ReadViews(void (*read)(void* context), void* context);

}  // namespace tvl
