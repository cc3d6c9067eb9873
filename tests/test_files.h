// Scratch files for tests: a private folder per test binary, removed when the test ends.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file.h"

namespace tvl::testing {

// A fresh, empty folder under $TVL_TEST_TMP (or the system's temporary folder), deleted with
// everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const Path& path() const { return path_; }
  Path operator/(std::string_view name) const { return path_ / Path(name); }

 private:
  Path path_;
};

// Makes `folder` (created if need be) the system's temporary folder, so a test can count what is
// left there, and gives the old one back when it goes: later tests in the binary need one.
class ScopedTempFolder {
 public:
  explicit ScopedTempFolder(const Path& folder);
  ~ScopedTempFolder();
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

 private:
  std::vector<std::pair<Path::string_type, Path::string_type>> saved_;  // name, value or empty
};

// Whole-file helpers that fail the current test on error.
void WriteFileBytes(const Path& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const Path& path, std::string_view text);
std::vector<uint8_t> ReadFileBytes(const Path& path);
// The names in a folder (not below it), as UTF-8: what a run left there.
std::set<std::string> FileNames(const Path& folder);

// Deterministic pseudo-random bytes.
std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed);

}  // namespace tvl::testing
