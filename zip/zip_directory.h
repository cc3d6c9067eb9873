// Reading a zip archive's directory: which entries it holds, how each is stored, and where each
// entry's data lies in the file. Nothing in the archive is trusted: every offset and size is
// checked against the file's length before it is used, and an archive this reader can't take is a
// result that says why, never a crash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"

namespace tvl {

// No entry may declare more than this. The largest release is about 107 MB; a bound this far
// above it keeps a small hostile archive from filling the disk or memory.
inline constexpr uint64_t kMaxZipEntrySize = uint64_t{1} << 30;

// The compression methods we read (APPNOTE 4.4.5).
inline constexpr uint16_t kZipStored = 0;
inline constexpr uint16_t kZipDeflate = 8;

struct ZipEntry {
  std::string name;     // UTF-8: as stored when the entry says so (flag bit 11), else CP437
  uint16_t method = 0;  // compression method
  uint16_t flags = 0;   // general purpose bit flags
  uint32_t crc32 = 0;   // of the uncompressed data
  uint64_t compressed_size = 0;
  uint64_t size = 0;           // declared uncompressed size
  uint64_t header_offset = 0;  // of the local file header

  bool encrypted() const { return (flags & 1) != 0; }
  bool is_directory() const { return !name.empty() && name.back() == '/'; }
};

struct ZipDirectory {
  std::vector<ZipEntry> entries;  // in the order of the central directory
};

enum class ZipStatus {
  kOk,
  kReadFailed,   // the archive could not be read: `file_error` says why
  kNotZip,       // no end of central directory record, and not begun as one: not a zip archive
  kSplit,        // one part of a split or spanned archive
  kOutside,      // the directory or an entry's data lies outside the file
  kMalformed,    // records that don't parse, or an archive cut short: a damaged archive
  kMethod,       // a compression method we don't read: `method` says which
  kEncrypted,    // an encrypted entry
  kTooLarge,     // the entry declares more than kMaxZipEntrySize
  kDamaged,      // the data doesn't inflate, runs past its declared size, ends short of it, or
                 // its CRC-32 doesn't match
  kWriteFailed,  // the unpacked data could not be written: `file_error` says why
  kStopped,      // the caller asked to stop
};

// What went wrong, for a message: the status, and what it concerns.
struct ZipReport {
  ZipStatus status = ZipStatus::kOk;
  FileError file_error = 0;
  uint16_t method = 0;  // for kMethod
  std::string entry;    // the entry concerned, when there is one
};

// Reads the directory of the archive in `archive`, an open file of `size` bytes: the end record
// (found from the back, past any comment), the Zip64 end record and its locator where the 32-bit
// fields say 0xFFFF or 0xFFFFFFFF, and every central directory header. False, with the report
// filled, for an archive that isn't one, is split, or whose directory doesn't fit in the file.
bool ReadZipDirectory(File& archive, uint64_t size, ZipDirectory* directory, ZipReport* report);

// Whether the entry can be read at all: stored or deflate, not encrypted, at most
// kMaxZipEntrySize. False, with the report filled, otherwise.
bool CheckZipEntry(const ZipEntry& entry, ZipReport* report);

// Reads the entry's local header in `archive` (of `size` bytes) and gives the offset of its
// first data byte. False, with the report filled, when the header is not there or the data
// would run past the end of the file.
bool LocateZipData(File& archive, uint64_t size, const ZipEntry& entry, uint64_t* data_offset,
                   ZipReport* report);

// One sentence for a failed report about `archive` (as the user named it), for example
// "doom.zip: DOOM2.WAD uses Deflate64 compression, which Tarvelline can't read; re-zip it with
// ordinary deflate". Every kDamaged and kMalformed message says "damaged".
std::string DescribeZipReport(const ZipReport& report, const std::string& archive);

// The name of a compression method ("Deflate64", "bzip2", "LZMA"...), or "method N".
std::string ZipMethodName(uint16_t method);

}  // namespace tvl
