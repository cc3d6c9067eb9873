// Zip archives in the page: the core reads the directory and checks every entry the worker
// unpacks, while the browser does the inflating (DecompressionStream), so no zlib is built in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file.h"
#include "zip/zip_directory.h"

namespace tvl::web {

// The entries of the archive at `path` (named `archive` to the user) as JSON:
// {"entries":[{"name","wad","patch","size","crc32","method","compressed","offset","error"}]},
// folders left out. `wad` and `patch` say what an entry is by its name; only those two kinds are
// located, so only they carry `offset` (where their data starts) or `error` (the core's sentence
// for an entry that can't be read: its method, encryption, size, or data outside the file).
// {"error": sentence} when the directory itself can't be read.
std::string ZipEntriesJson(const Path& path, const std::string& archive);

// The unpacked data of one entry, checked as the worker feeds it: never more than the declared
// size, and at the end exactly that many bytes with the declared CRC-32.
struct UnpackCheck {
  uint64_t declared = 0;
  uint32_t expected_crc = 0;
  uint64_t total = 0;
  uint32_t crc = 0;
  bool overrun = false;  // more data came than the entry declares
};

// How many of the `size` bytes at `data` belong to the entry: all of them, or those up to its
// declared size, the rest marking the check as overrun.
size_t TakeUnpacked(UnpackCheck* check, const uint8_t* data, size_t size);

// How the worker's feeding ended.
enum class UnpackEnd { kComplete, kReadFailed, kInflateFailed };

// The verdict on a fed entry: kOk, kReadFailed, or kDamaged for a stream that didn't inflate,
// ran past the declared size, ended short of it, or whose CRC-32 doesn't match.
ZipReport FinishUnpacked(const UnpackCheck& check, const std::string& entry, UnpackEnd end);

}  // namespace tvl::web
