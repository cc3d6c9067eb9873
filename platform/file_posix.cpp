#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "platform/file.h"
#include "platform/file_faults.h"

namespace tvl {
namespace {

void Report(FileError* error) {
  if (error) *error = static_cast<FileError>(errno);
}

}  // namespace

File File::OpenForRead(const Path& path, FileError* error) {
  if (CheckFileFault(FileOp::kOpenRead, error) != FileFault::kNone) return File();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Report(error);
  return File(fd);
}

File File::CreateForWrite(const Path& path, FileError* error) {
  if (CheckFileFault(FileOp::kCreate, error) != FileFault::kNone) return File();
  // An empty file (our own temporary ones) is not truncated: ext4 takes truncation for a file
  // being rewritten in place and writes it all out when it is closed, which here costs as much
  // as the whole conversion and buys nothing.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    Report(error);
    return File();
  }
  struct stat status;
  const bool emptied = ::fstat(fd, &status) == 0 &&
                       (!S_ISREG(status.st_mode) || status.st_size == 0 || ::ftruncate(fd, 0) == 0);
  if (!emptied) {
    Report(error);
    ::close(fd);
    return File();
  }
  return File(fd);
}

int64_t File::Read(void* buffer, size_t size, FileError* error) {
  if (!is_open()) {
    if (error) *error = EBADF;
    return -1;
  }
  if (int64_t injected; InjectedRead(error, &injected)) return injected;
  for (;;) {
    ssize_t got = ::read(static_cast<int>(handle_), buffer, size);
    if (got >= 0) return got;
    if (errno != EINTR) break;
  }
  Report(error);
  return -1;
}

int64_t File::ReadAt(uint64_t offset, void* buffer, size_t size, FileError* error) {
  if (!is_open()) {
    if (error) *error = EBADF;
    return -1;
  }
  if (int64_t injected; InjectedRead(error, &injected)) return injected;
  if (offset > static_cast<uint64_t>(INT64_MAX)) {
    if (error) *error = EINVAL;
    return -1;
  }
  for (;;) {
    ssize_t got = ::pread(static_cast<int>(handle_), buffer, size, static_cast<off_t>(offset));
    if (got >= 0) return got;
    if (errno != EINTR) break;
  }
  Report(error);
  return -1;
}

bool File::Seek(uint64_t offset, FileError* error) {
  if (!is_open()) {
    if (error) *error = EBADF;
    return false;
  }
  if (offset > static_cast<uint64_t>(INT64_MAX) ||
      ::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) < 0) {
    Report(error);
    return false;
  }
  return true;
}

size_t File::Write(const void* data, size_t size, FileError* error) {
  if (!is_open()) {
    if (error) *error = EBADF;
    return 0;
  }
  if (CheckFileFault(FileOp::kWrite, error) != FileFault::kNone) return 0;
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    ssize_t put = ::write(static_cast<int>(handle_), bytes + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      Report(error);
      break;
    }
    done += static_cast<size_t>(put);
  }
  return done;
}

bool File::Close(FileError* error) {
  if (!is_open()) return true;
  int fd = static_cast<int>(handle_);
  handle_ = kInvalid;
  // An injected failure still lets go of the handle, as a real one does.
  const bool injected = CheckFileFault(FileOp::kClose, error) != FileFault::kNone;
  if (::close(fd) != 0) {
    if (!injected) Report(error);
    return false;
  }
  return !injected;
}

std::string DescribeFileError(FileError error) { return std::strerror(static_cast<int>(error)); }

}  // namespace tvl
