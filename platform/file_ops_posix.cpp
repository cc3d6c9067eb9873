#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include <string>
#include <system_error>
#include <vector>

#include "platform/file_faults.h"
#include "platform/file_ops.h"

namespace tvl {
namespace {

bool FailWithErrno(FileError* error) {
  if (error) *error = static_cast<FileError>(errno);
  return false;
}

bool SyncPath(const Path& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

}  // namespace

Path TempFolder() {
  std::error_code error;
  Path folder = std::filesystem::temp_directory_path(error);
  return error ? Path("/tmp") : folder;
}

Path MakeTempFile(const Path& folder, FileError* error) {
  if (CheckFileFault(FileOp::kMakeTemp, error) != FileFault::kNone) return {};
  std::string name = (folder / "Tarvelline-XXXXXX.tmp").string();
  int fd = ::mkstemps(name.data(), 4);
  if (fd < 0) {
    FailWithErrno(error);
    return {};
  }
  // mkstemp makes the file private; what we write is the user's own file, so give it the
  // permissions any new file of theirs would have.
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  return Path(name);
}

bool RemoveFile(const Path& path, FileError* error) {
  if (CheckFileFault(FileOp::kRemove, error) != FileFault::kNone) return false;
  return ::unlink(path.c_str()) == 0 || FailWithErrno(error);
}

std::vector<Path> FindLeftoverTempFiles(const Path& folder) {
  std::vector<Path> found;
  std::error_code error;
  const time_t now = ::time(nullptr);
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (!IsOurTempFileName(it->path().filename())) continue;
    struct stat status;
    if (::lstat(it->path().c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    if (now - status.st_mtime < kLeftoverTempSeconds) continue;
    found.push_back(it->path());
  }
  return found;
}

bool MoveFileNoReplace(const Path& from, const Path& to, FileError* error) {
  // A hard link fails on an existing name, where rename would replace it. Where the file system
  // has no links (FAT on a USB stick), the name is checked first instead.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return FailWithErrno(error);
  struct stat status;
  if (::lstat(to.c_str(), &status) == 0) {
    errno = EEXIST;
    return FailWithErrno(error);
  }
  return ::rename(from.c_str(), to.c_str()) == 0 || FailWithErrno(error);
}

bool CanReplaceFile(const Path& path, FileError* error) {
  // A file the user made read-only is not ours to replace, though POSIX would let a rename do
  // it, and access() would let root write it: the mode bits say what the user meant.
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return FailWithErrno(error);
  if (!(status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) || ::access(path.c_str(), W_OK) != 0) {
    errno = EACCES;
    return FailWithErrno(error);
  }
  return true;
}

bool MoveFileReplacing(const Path& from, const Path& to, FileError* error) {
  struct stat old_file;
  if (::stat(to.c_str(), &old_file) == 0) {
    // The new bytes reach the disk before they take the old ones' place, so that a crash in
    // between can't leave neither. A file that replaces nothing risks nothing by waiting for
    // the system's own writeback, which a new file of 100 MB would otherwise pay in full.
    if (CheckFileFault(FileOp::kFlush, error) != FileFault::kNone) return false;
    if (!SyncPath(from, O_RDONLY)) return FailWithErrno(error);
    // A replaced file keeps its permissions.
    ::chmod(from.c_str(), old_file.st_mode & 07777);
  }
  if (CheckFileFault(FileOp::kRename, error) != FileFault::kNone) return false;
  // One move here: cut short, it has not happened.
  if (SwapFaultStops(error, ECANCELED)) return false;
  if (::rename(from.c_str(), to.c_str()) != 0) return FailWithErrno(error);
  SyncPath(FolderOf(to), O_RDONLY | O_DIRECTORY);
  return true;
}

}  // namespace tvl
