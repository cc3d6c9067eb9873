// The archives make_archives.py makes at build time, and what the tests compare them with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "zip/zip_directory.h"

namespace tvl::testing {

// An archive of the build's test set, by its file name ("python_deflate.zip").
Path TestArchive(std::string_view name);

// A file as it went into the archives ("DOOM2.WAD"); empty for "".
std::vector<uint8_t> Original(std::string_view name);

// The directory of a test archive; fails the test when it can't be read.
ZipDirectory ReadTestArchive(std::string_view name);

// The entry of that name, or null.
const ZipEntry* FindEntry(const ZipDirectory& directory, std::string_view name);

// The SHA-1 of the bytes, as 40 hexadecimal digits.
std::string Sha1Hex(const std::vector<uint8_t>& bytes);

// The names of the entries, in order.
std::vector<std::string> EntryNames(const std::vector<const ZipEntry*>& entries);

}  // namespace tvl::testing
