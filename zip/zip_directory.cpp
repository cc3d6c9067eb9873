#include "zip/zip_directory.h"

#include <algorithm>
#include <span>

#include "zip/cp437.h"
#include "zip/crc32.h"

namespace tvl {
namespace {

// Record signatures and fixed sizes (APPNOTE 4.3).
constexpr uint32_t kLocalHeaderSignature = 0x04034b50;    // "PK\3\4"
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;  // "PK\1\2"
constexpr uint32_t kEndSignature = 0x06054b50;            // "PK\5\6"
constexpr uint32_t kZip64EndSignature = 0x06064b50;       // "PK\6\6"
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;   // "PK\6\7"
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;
// The end record is followed only by its comment, at most 65535 bytes.
constexpr size_t kEndSearch = kEndSize + 0xFFFF;

// Extra fields (APPNOTE 4.5, 4.6.9).
constexpr uint16_t kZip64Extra = 0x0001;
constexpr uint16_t kUnicodePathExtra = 0x7075;  // Info-ZIP's UTF-8 name beside a CP437 one

constexpr uint16_t kFlagUtf8 = 1 << 11;
constexpr uint16_t kFlagStrongEncryption = 1 << 6;
constexpr uint16_t kFlagMaskedHeaders = 1 << 13;  // central directory encryption

// No real archive of game files has a directory this large; a declared one is refused before it
// is read into memory.
constexpr uint64_t kMaxDirectorySize = uint64_t{64} << 20;

// Little-endian fields of a record, read with bounds checks: reading past the end gives zeros
// and marks the reader, so a record is checked once, after its fields are taken.
class Fields {
 public:
  explicit Fields(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
  uint64_t U64() { return Take(8); }
  std::span<const uint8_t> Bytes(size_t count) {
    if (count > bytes_.size() - at_) {
      overrun_ = true;
      at_ = bytes_.size();
      return {};
    }
    const std::span<const uint8_t> taken = bytes_.subspan(at_, count);
    at_ += count;
    return taken;
  }
  bool overrun() const { return overrun_; }
  size_t left() const { return bytes_.size() - at_; }

 private:
  uint64_t Take(size_t count) {
    const std::span<const uint8_t> taken = Bytes(count);
    uint64_t value = 0;
    for (size_t i = taken.size(); i-- > 0;) value = (value << 8) | taken[i];
    return value;
  }
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
  bool overrun_ = false;
};

bool Fail(ZipReport* report, ZipStatus status, FileError file_error = 0) {
  report->status = status;
  report->file_error = file_error;
  return false;
}

// Reads exactly `count` bytes at `offset`; a short read means the file changed under us or lied.
bool ReadExactly(File& archive, uint64_t offset, uint8_t* buffer, size_t count, ZipReport* report) {
  size_t done = 0;
  while (done < count) {
    FileError error = 0;
    const int64_t got = archive.ReadAt(offset + done, buffer + done, count - done, &error);
    if (got < 0) return Fail(report, ZipStatus::kReadFailed, error);
    if (got == 0) return Fail(report, ZipStatus::kOutside);
    done += static_cast<size_t>(got);
  }
  return true;
}

std::string AsString(std::span<const uint8_t> bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// What the end records say of the directory.
struct DirectorySpan {
  uint64_t count = 0;
  uint64_t size = 0;
  uint64_t offset = 0;
};

// Finds the last end record whose comment fits in what follows it. Comments may hold the
// signature too; the last one that fits is the one writers put there.
bool FindEndRecord(const std::vector<uint8_t>& tail, size_t* at) {
  if (tail.size() < kEndSize) return false;
  for (size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
    Fields fields(std::span<const uint8_t>(tail).subspan(i));
    if (fields.U32() != kEndSignature) continue;
    fields.Bytes(16);
    const uint16_t comment = fields.U16();
    if (comment <= tail.size() - i - kEndSize) {
      *at = i;
      return true;
    }
  }
  return false;
}

// Reads the Zip64 end record the locator before the end record points to.
bool ReadZip64End(File& archive, uint64_t size, uint64_t locator_at, DirectorySpan* span,
                  ZipReport* report) {
  uint8_t locator[kZip64LocatorSize];
  if (!ReadExactly(archive, locator_at, locator, sizeof locator, report)) return false;
  Fields fields(locator);
  fields.U32();  // signature, checked by the caller
  const uint32_t end_disk = fields.U32();
  const uint64_t end_offset = fields.U64();
  const uint32_t disks = fields.U32();
  if (end_disk != 0 || disks > 1) return Fail(report, ZipStatus::kSplit);
  if (end_offset > size || size - end_offset < kZip64EndSize) {
    return Fail(report, ZipStatus::kOutside);
  }
  uint8_t end[kZip64EndSize];
  if (!ReadExactly(archive, end_offset, end, sizeof end, report)) return false;
  Fields record(end);
  if (record.U32() != kZip64EndSignature) return Fail(report, ZipStatus::kMalformed);
  record.U64();  // the record's size
  record.U16();  // version made by
  record.U16();  // version needed
  const uint32_t disk = record.U32();
  const uint32_t directory_disk = record.U32();
  const uint64_t on_disk = record.U64();
  span->count = record.U64();
  span->size = record.U64();
  span->offset = record.U64();
  if (disk != 0 || directory_disk != 0) return Fail(report, ZipStatus::kSplit);
  if (on_disk != span->count) return Fail(report, ZipStatus::kMalformed);
  return true;
}

bool ReadEndRecords(File& archive, uint64_t size, DirectorySpan* span, ZipReport* report) {
  const size_t tail_size = static_cast<size_t>(std::min<uint64_t>(size, kEndSearch));
  std::vector<uint8_t> tail(tail_size);
  if (!ReadExactly(archive, size - tail_size, tail.data(), tail_size, report)) return false;
  size_t at = 0;
  if (!FindEndRecord(tail, &at)) {
    // A file that begins as an archive but has no end: cut short, most likely in a download.
    uint8_t head[4] = {};
    const bool begins_as_zip = size >= 4 && ReadExactly(archive, 0, head, 4, report) &&
                               Fields(head).U32() == kLocalHeaderSignature;
    return Fail(report, begins_as_zip ? ZipStatus::kMalformed : ZipStatus::kNotZip);
  }
  Fields end(std::span<const uint8_t>(tail).subspan(at));
  end.U32();
  const uint16_t disk = end.U16();
  const uint16_t directory_disk = end.U16();
  const uint16_t on_disk = end.U16();
  span->count = end.U16();
  span->size = end.U32();
  span->offset = end.U32();
  const uint64_t end_at = size - tail_size + at;
  // A Zip64 archive says so with a locator right before the end record; its 32-bit fields then
  // hold 0xFFFF or 0xFFFFFFFF, but writers differ on which, so the Zip64 record is taken whole.
  if (end_at >= kZip64LocatorSize) {
    uint8_t signature[4];
    if (!ReadExactly(archive, end_at - kZip64LocatorSize, signature, 4, report)) return false;
    if (Fields(signature).U32() == kZip64LocatorSignature) {
      return ReadZip64End(archive, size, end_at - kZip64LocatorSize, span, report);
    }
  }
  if (disk != 0 || directory_disk != 0) return Fail(report, ZipStatus::kSplit);
  // One disk, yet two counts of its entries: a damaged record, not a split archive.
  if (on_disk != span->count) return Fail(report, ZipStatus::kMalformed);
  return true;
}

// Where the 32-bit fields say 0xFFFFFFFF (0xFFFF for the disk), the Zip64 extra field holds the
// value, in this order.
bool ApplyZip64Extra(std::span<const uint8_t> data, ZipEntry* entry, uint32_t* disk) {
  Fields fields(data);
  if (entry->size == 0xFFFFFFFF) entry->size = fields.U64();
  if (entry->compressed_size == 0xFFFFFFFF) entry->compressed_size = fields.U64();
  if (entry->header_offset == 0xFFFFFFFF) entry->header_offset = fields.U64();
  if (*disk == 0xFFFF) *disk = fields.U32();
  return !fields.overrun();
}

// Info-ZIP's Unicode path field: the name in UTF-8, valid only while the CRC-32 of the plain
// name it stands for still matches (another tool may have renamed the entry since).
bool UnicodePath(std::span<const uint8_t> data, std::span<const uint8_t> raw_name,
                 std::string* name) {
  Fields fields(data);
  const uint8_t version = fields.Bytes(1).empty() ? 0 : data[0];
  const uint32_t crc = fields.U32();
  if (fields.overrun() || version != 1) return false;
  if (crc != Crc32(0, raw_name.data(), raw_name.size())) return false;
  *name = AsString(fields.Bytes(fields.left()));
  return true;
}

bool ParseExtras(std::span<const uint8_t> extras, std::span<const uint8_t> raw_name,
                 ZipEntry* entry, uint32_t* disk, bool* unicode_name) {
  Fields fields(extras);
  bool zip64_seen = false;
  while (fields.left() >= 4) {
    const uint16_t id = fields.U16();
    const uint16_t length = fields.U16();
    const std::span<const uint8_t> data = fields.Bytes(length);
    if (fields.overrun()) return false;
    if (id == kZip64Extra && !zip64_seen) {
      zip64_seen = true;
      if (!ApplyZip64Extra(data, entry, disk)) return false;
    } else if (id == kUnicodePathExtra && !(entry->flags & kFlagUtf8)) {
      *unicode_name = UnicodePath(data, raw_name, &entry->name) || *unicode_name;
    }
  }
  return true;
}

// Whether the bytes are UTF-8 and hold more than ASCII.
bool IsUtf8BeyondAscii(std::span<const uint8_t> text) {
  bool beyond = false;
  for (size_t i = 0; i < text.size();) {
    const uint8_t lead = text[i];
    size_t length = lead < 0x80         ? 1
                    : (lead >> 5) == 6  ? 2
                    : (lead >> 4) == 14 ? 3
                    : (lead >> 3) == 30 ? 4
                                        : 0;
    if (length == 0 || length > text.size() - i) return false;
    if (length == 2 && lead < 0xC2) return false;  // an overlong form
    for (size_t k = 1; k < length; ++k) {
      if ((text[i + k] >> 6) != 2) return false;
    }
    beyond = beyond || length > 1;
    i += length;
  }
  return beyond;
}

// Entries that don't flag their names as UTF-8 are CP437 by the format's rule, but Unix tools
// (Info-ZIP's zip among them) store the system's UTF-8 names as they are without the flag.
// Where the archive was made on a system other than MS-DOS and the name reads as UTF-8, it is.
std::string PlainName(std::span<const uint8_t> raw_name, uint8_t made_on) {
  constexpr uint8_t kMadeOnMsDos = 0;
  if (made_on != kMadeOnMsDos && IsUtf8BeyondAscii(raw_name)) return AsString(raw_name);
  return Cp437ToUtf8(AsString(raw_name));
}

bool ParseCentralHeader(Fields* fields, ZipEntry* entry) {
  if (fields->U32() != kCentralHeaderSignature) return false;
  const uint8_t made_on = static_cast<uint8_t>(fields->U16() >> 8);  // version made by: host
  fields->U16();                                                     // version needed
  entry->flags = fields->U16();
  entry->method = fields->U16();
  fields->U32();  // time and date
  entry->crc32 = fields->U32();
  entry->compressed_size = fields->U32();
  entry->size = fields->U32();
  const uint16_t name_length = fields->U16();
  const uint16_t extra_length = fields->U16();
  const uint16_t comment_length = fields->U16();
  uint32_t disk = fields->U16();
  fields->U16();  // internal attributes
  fields->U32();  // external attributes
  entry->header_offset = fields->U32();
  const std::span<const uint8_t> raw_name = fields->Bytes(name_length);
  const std::span<const uint8_t> extras = fields->Bytes(extra_length);
  fields->Bytes(comment_length);
  if (fields->overrun()) return false;
  bool unicode_name = false;
  if (!ParseExtras(extras, raw_name, entry, &disk, &unicode_name)) return false;
  if (!unicode_name) {
    entry->name = (entry->flags & kFlagUtf8) ? AsString(raw_name) : PlainName(raw_name, made_on);
  }
  return disk == 0;
}

}  // namespace

bool ReadZipDirectory(File& archive, uint64_t size, ZipDirectory* directory, ZipReport* report) {
  *report = {};
  directory->entries.clear();
  DirectorySpan span;
  if (!ReadEndRecords(archive, size, &span, report)) return false;
  if (span.offset > size || span.size > size - span.offset) {
    return Fail(report, ZipStatus::kOutside);
  }
  if (span.size > kMaxDirectorySize || span.count > span.size / kCentralHeaderSize) {
    return Fail(report, ZipStatus::kMalformed);
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(span.size));
  if (!ReadExactly(archive, span.offset, bytes.data(), bytes.size(), report)) return false;
  Fields fields(bytes);
  directory->entries.reserve(static_cast<size_t>(span.count));
  for (uint64_t i = 0; i < span.count; ++i) {
    ZipEntry entry;
    if (!ParseCentralHeader(&fields, &entry)) {
      directory->entries.clear();
      return Fail(report, ZipStatus::kMalformed);
    }
    // Each entry's local header and data must lie before the directory in the same file.
    if (entry.header_offset > span.offset ||
        entry.compressed_size > span.offset - entry.header_offset) {
      report->entry = entry.name;
      directory->entries.clear();
      return Fail(report, ZipStatus::kOutside);
    }
    directory->entries.push_back(std::move(entry));
  }
  return true;
}

bool CheckZipEntry(const ZipEntry& entry, ZipReport* report) {
  *report = {};
  report->entry = entry.name;
  if (entry.encrypted() || (entry.flags & (kFlagStrongEncryption | kFlagMaskedHeaders))) {
    return Fail(report, ZipStatus::kEncrypted);
  }
  if (entry.method != kZipStored && entry.method != kZipDeflate) {
    report->method = entry.method;
    return Fail(report, ZipStatus::kMethod);
  }
  if (entry.size > kMaxZipEntrySize) return Fail(report, ZipStatus::kTooLarge);
  // Stored data is the entry itself: its two sizes can only differ in a damaged archive.
  if (entry.method == kZipStored && entry.compressed_size != entry.size) {
    return Fail(report, ZipStatus::kDamaged);
  }
  report->entry.clear();
  return true;
}

bool LocateZipData(File& archive, uint64_t size, const ZipEntry& entry, uint64_t* data_offset,
                   ZipReport* report) {
  *report = {};
  report->entry = entry.name;
  if (entry.header_offset > size || size - entry.header_offset < kLocalHeaderSize) {
    return Fail(report, ZipStatus::kOutside);
  }
  uint8_t header[kLocalHeaderSize];
  if (!ReadExactly(archive, entry.header_offset, header, sizeof header, report)) return false;
  Fields fields(header);
  if (fields.U32() != kLocalHeaderSignature) return Fail(report, ZipStatus::kMalformed);
  fields.Bytes(22);  // versions, flags, method, time, CRC and sizes: the directory's win
  const uint16_t name_length = fields.U16();
  const uint16_t extra_length = fields.U16();
  const uint64_t offset = entry.header_offset + kLocalHeaderSize + name_length + extra_length;
  if (offset > size || entry.compressed_size > size - offset) {
    return Fail(report, ZipStatus::kOutside);
  }
  *data_offset = offset;
  report->entry.clear();
  return true;
}

std::string ZipMethodName(uint16_t method) {
  switch (method) {
    case 0:
      return "stored";
    case 1:
      return "Shrink";
    case 2:
    case 3:
    case 4:
    case 5:
      return "Reduce";
    case 6:
      return "Implode";
    case 8:
      return "Deflate";
    case 9:
      return "Deflate64";
    case 10:
      return "PKWARE DCL Implode";
    case 12:
      return "bzip2";
    case 14:
      return "LZMA";
    case 18:
      return "IBM TERSE";
    case 19:
      return "IBM LZ77";
    case 93:
      return "Zstandard";
    case 95:
      return "XZ";
    case 96:
      return "JPEG";
    case 97:
      return "WavPack";
    case 98:
      return "PPMd";
    case 99:
      return "AES-encrypted";
    default:
      return "method " + std::to_string(method);
  }
}

std::string DescribeZipReport(const ZipReport& report, const std::string& archive) {
  const std::string what = report.entry.empty() ? archive : archive + ": " + report.entry;
  switch (report.status) {
    case ZipStatus::kOk:
      return what + ": no error";
    case ZipStatus::kReadFailed:
      return "cannot read " + archive + ": " + DescribeFileError(report.file_error);
    case ZipStatus::kNotZip:
      return archive + " is not a zip archive";
    case ZipStatus::kSplit:
      return archive +
             " is one part of a split zip archive, which Tarvelline can't read; "
             "join the parts into one archive first";
    case ZipStatus::kOutside:
      if (!report.entry.empty()) {
        return archive + " is a damaged zip archive: the data of " + report.entry +
               " lies outside the file";
      }
      return archive + " is a damaged zip archive: its directory points outside the file";
    case ZipStatus::kMalformed:
      if (!report.entry.empty()) {
        return archive + " is a damaged zip archive: the header of " + report.entry +
               " is missing or can't be read";
      }
      return archive + " is a damaged zip archive: its directory is missing or can't be read";
    case ZipStatus::kMethod:
      return what + " uses " + ZipMethodName(report.method) +
             " compression, which Tarvelline can't read; re-zip it with ordinary deflate";
    case ZipStatus::kEncrypted:
      return what +
             " is encrypted, which Tarvelline can't read; unpack it with the password "
             "first";
    case ZipStatus::kTooLarge:
      return what + " declares more than 1 GiB, far more than any game file; it is not read";
    case ZipStatus::kDamaged:
      return what + " is damaged: its data doesn't unpack to what the archive says it holds";
    case ZipStatus::kWriteFailed:
      return what + " could not be unpacked: " + DescribeFileError(report.file_error);
    case ZipStatus::kStopped:
      return what + ": stopped";
  }
  return what;
}

}  // namespace tvl
