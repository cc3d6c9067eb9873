// Scratch files for tests: a private folder per test binary, removed when the test ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// Whole-file helpers that fail the current test on error.
void WriteFileBytes(const Path& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const Path& path, std::string_view text);
std::vector<uint8_t> ReadFileBytes(const Path& path);

// Deterministic pseudo-random bytes.
std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed);

}  // namespace tvl::testing
