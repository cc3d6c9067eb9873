// A read-only view of a whole open file, for reading its bytes without copying them.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace tvl {

// Unmapped when it goes out of scope.
//
// A page of a view that can't be read (the file was cut short by another program, the disk
// failed or went away) is not a failed call but a fault in whatever code touches it. Views are
// therefore made only where that fault can be caught: on POSIX a process-wide SIGBUS handler
// replaces the rest of the view with zeros, so the access completes, and marks the view faulted.
// Whoever reads a view checks faulted() before trusting what it read. Windows offers no such
// remedy inside a copy, so there files are never mapped and callers read them instead.
class FileView {
 public:
  FileView() = default;
  ~FileView();
  FileView(FileView&& other) noexcept;
  FileView& operator=(FileView&& other) noexcept;
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

  // Maps all of `file`. Fails (is_mapped() false) for anything but a regular file, where the
  // system can't (a 32-bit address space without room) or won't, and always on Windows; callers
  // then read the file instead.
  static FileView Map(const File& file, FileError* error = nullptr);

  // The size of `file` now when it is a regular file; false, with the reason, for pipes,
  // devices and failures. For telling a file that ends early from one that ends where it did.
  static bool RegularFileSize(const File& file, uint64_t* size, FileError* error = nullptr);

  bool is_mapped() const { return mapped_; }
  const uint8_t* data() const { return data_; }
  uint64_t size() const { return size_; }

  // True once a page of the view could not be read, with the system's reason for an unreadable
  // page in `reason`. Its bytes, and those of every page after it, read as zeros from then on.
  bool faulted(FileError* reason = nullptr) const;

 private:
  void Unmap();
  const uint8_t* data_ = nullptr;  // null for an empty file
  uint64_t size_ = 0;
  bool mapped_ = false;
  int guard_slot_ = -1;  // where the fault handler knows this view, or -1
};

}  // namespace tvl
