// A temporary file that is removed when it goes out of scope, on every way out, unless it was
// handed on.
#pragma once

#include <utility>

#include "platform/file_ops.h"

namespace tvl {

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

}  // namespace tvl
