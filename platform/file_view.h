// A read-only view of a whole open file, for reading its bytes without copying them.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace tvl {

// Unmapped when it goes out of scope. Reading a view can't fail the way a read call does: a page
// that can't be read stops the process. On Windows the file is open shared for reading only, so
// nobody can shorten it while we look, and files on network shares are not mapped. POSIX has no
// such lock; a source cut short by another program while we patch from it stops us with SIGBUS.
// Conversions write their result aside and move it into place only once verified, so that leaves
// no half-written release behind.
class FileView {
 public:
  FileView() = default;
  ~FileView();
  FileView(FileView&& other) noexcept;
  FileView& operator=(FileView&& other) noexcept;
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

  // Maps all of `file`. Fails (is_mapped() false) when the system can't, for instance when the
  // address space of a 32-bit process has no room, or won't; callers then read the file instead.
  static FileView Map(const File& file, FileError* error = nullptr);

  // Lets the system take back the pages read so far. The view stays valid and reads fault them in
  // again; this only keeps a long walk through a large file from holding all of it in memory.
  void ReleasePages();

  bool is_mapped() const { return mapped_; }
  const uint8_t* data() const { return data_; }
  uint64_t size() const { return size_; }

 private:
  void Unmap();
  const uint8_t* data_ = nullptr;  // null for an empty file
  uint64_t size_ = 0;
  bool mapped_ = false;
};

}  // namespace tvl
