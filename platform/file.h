// The one way the portable core touches files. Win32 and POSIX each implement it; nothing here
// includes a system header, so the core stays free of <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tvl {

// UTF-16 on Windows, bytes (UTF-8 by convention) on POSIX: the platform's own path type.
using Path = std::filesystem::path;

// The system's error number for the last failed call (errno or GetLastError()).
using FileError = unsigned long;

// An open file handle, closed when it goes out of scope.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file for reading. Others may read it too, but nobody may write it while it
  // is open, so the bytes we hash or patch from cannot change underneath us.
  static File OpenForRead(const Path& path, FileError* error = nullptr);
  // Creates the file, or truncates an existing one, for writing; not shared.
  static File CreateForWrite(const Path& path, FileError* error = nullptr);

  bool is_open() const { return handle_ != kInvalid; }

  // Reads up to `size` bytes. Returns the count read (0 at end of file), or -1 on failure,
  // including on a file that is not open.
  int64_t Read(void* buffer, size_t size, FileError* error = nullptr);
  // Reads up to `size` bytes from `offset` bytes from the start, in one call where Seek and
  // Read take two; only for files that can seek. Returns as Read does.
  int64_t ReadAt(uint64_t offset, void* buffer, size_t size, FileError* error = nullptr);
  // Moves the position to `offset` bytes from the start.
  bool Seek(uint64_t offset, FileError* error = nullptr);
  // Writes all of `data`; returns the count actually written (short on failure).
  size_t Write(const void* data, size_t size, FileError* error = nullptr);
  // Closes the handle; false when the system reports a failure (for writes: data may be lost).
  bool Close(FileError* error = nullptr);

 private:
  friend class FileView;  // maps the file behind the handle
  static constexpr intptr_t kInvalid = -1;
  explicit File(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = kInvalid;  // a file descriptor or a HANDLE
};

// The path as UTF-8, for messages. Never fails: on Windows a unit of a broken surrogate pair
// becomes U+FFFD; POSIX names come back byte for byte, as the system holds them.
std::string PathToUtf8(const Path& path);

// A short English description of a system error number, for messages to the user.
std::string DescribeFileError(FileError error);

}  // namespace tvl
