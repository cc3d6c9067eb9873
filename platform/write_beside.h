// The one way a file gets new content here: written beside it under a temporary name, then put
// in its place in one step once complete, so the file at the path is never seen half-written.
// It keeps what it held, or holds all of the new bytes; the temporary file goes on every other
// way out.
#pragma once

#include <functional>
#include <utility>

#include "platform/file_ops.h"

namespace tvl {

// Makes a new empty temporary file in the folder and returns its path (empty on failure, with
// the reason in the FileError). The product uses MakeTempFile; tests may name files themselves.
using TempFileMaker = std::function<Path(const Path& folder, FileError* error)>;

// A temporary file in `folder` made by `make_temp`, or by MakeTempFile when it is empty.
inline Path MakeTempFileWith(const TempFileMaker& make_temp, const Path& folder, FileError* error) {
  return make_temp ? make_temp(folder, error) : MakeTempFile(folder, error);
}

// A temporary file that is removed when it goes out of scope, unless it was handed on.
class TempFile {
 public:
  TempFile() = default;
  explicit TempFile(Path path) : path_(std::move(path)) {}
  ~TempFile() { Reset(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Removes the file held, if any, and holds `path` instead.
  void Reset(Path path = {}) {
    if (!path_.empty()) RemoveFile(path_);
    path_ = std::move(path);
  }
  const Path& path() const { return path_; }
  bool empty() const { return path_.empty(); }
  // The file has taken its final name: nothing is left to remove.
  void Release() { path_.clear(); }

 private:
  Path path_;
};

enum class BesideStart {
  kReady,
  kCannotReplace,  // the file there is read-only or locked: nothing was made
  kNoTempFile,     // the temporary file could not be made in the target's folder
};

// The new content of one file while it is being written.
class WriteBeside {
 public:
  // Checks that an existing `target` may be replaced, then makes the temporary file in the
  // target's folder with `make_temp` (MakeTempFile when empty). The reason of a failure is in
  // `*error`.
  BesideStart Begin(const Path& target, FileError* error, const TempFileMaker& make_temp = {});

  // Where the new content is to be written; empty until Begin succeeds.
  const Path& temp_path() const { return temp_.path(); }
  // The folder the temporary file is made in: the target's, "." for a bare name.
  const Path& folder() const { return folder_; }

  // Moves the temporary file, written and closed, onto the target: its bytes reach the disk
  // first, and an old file there makes way as MoveFileReplacing says. On failure the target is
  // as it was, and the temporary file is removed with this record.
  bool PutInPlace(FileError* error);

 private:
  Path target_, folder_;
  TempFile temp_;
};

}  // namespace tvl
