// Zip archives for the tests, made in memory after PKWARE's APPNOTE with zlib's deflate and
// CRC-32: the Windows tests run under Wine, where no host tool can make them, and the CLI's tests
// make the same bytes in both builds.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/file.h"

namespace tvl::testing {

struct TestZipEntry {
  std::string name;  // UTF-8; written with the UTF-8 flag when it holds anything else than ASCII
  std::span<const uint8_t> data;
  bool deflate = true;  // otherwise stored
  // What an archive of another tool, or a hostile one, says instead of the truth.
  // The method field, else 8 or 0 by `deflate`; the data is packed by `deflate` whatever it says.
  std::optional<uint16_t> method = std::nullopt;
  // More general purpose flags (bit 0: encrypted).
  uint16_t flags = 0;
  // The uncompressed size field, else the data's.
  std::optional<uint64_t> declared_size = std::nullopt;
};

// Local headers each with its data, the central directory, the end record.
std::vector<uint8_t> MakeTestZip(const std::vector<TestZipEntry>& entries);

// Where the first entry's data starts in MakeTestZip's archive: the byte to change to damage it.
size_t FirstEntryDataOffset(const std::vector<TestZipEntry>& entries);

// Writes the archive to `path` and returns the path (fails the test on error).
Path WriteTestZip(const Path& path, const std::vector<TestZipEntry>& entries);

}  // namespace tvl::testing
