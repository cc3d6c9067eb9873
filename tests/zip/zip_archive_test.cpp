// Every test archive through the whole reader: the directory, the entry's check, unpacking into a
// sink and into a temporary file. An archive the reader can't take fails at the first step that
// can tell, with the status and the words the user needs, and leaves no file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "catalogue/identify.h"
#include "tests/test_files.h"
#include "tests/zip/zip_test_archives.h"
#include "zip/crc32.h"
#include "zip/zip_inflate.h"
#include "zip/zipped_file.h"

namespace tvl {
namespace {

using testing::FindEntry;
using testing::Original;
using testing::TestArchive;

struct ArchiveCase {
  const char* archive;
  const char* entry;      // the entry to unpack; null when the directory itself can't be read
  ZipStatus status;       // of the first step that fails, or kOk
  const char* says = "";  // what the user's message must hold besides the archive's name
  // The file the entry holds, under originals/ ("" for an empty one); null: the entry's name.
  const char* original = nullptr;
  // Hostile records that allow two sound readings: records that don't parse, or a directory or
  // data outside the file.
  bool malformed_or_outside = false;
  // An entry whose header or data lies outside the file may be refused with the directory.
  bool directory_may_refuse = false;
};

constexpr ZipStatus kOk = ZipStatus::kOk;

const ArchiveCase kCases[] = {
    {"python_stored.zip", "DOOM2.WAD", kOk},
    {"python_stored.zip", "readme.txt", kOk},
    {"python_deflate.zip", "DOOM2.WAD", kOk},
    {"python_deflate.zip", "readme.txt", kOk},
    {"python_zip64.zip", "DOOM2.WAD", kOk},  // Zip64 extra in the local header only
    {"python_pipe.zip", "DOOM2.WAD", kOk},   // sizes in a data descriptor after the data
    {"python_pipe.zip", "readme.txt", kOk},
    {"python_empty_entries.zip", "EMPTY.WAD", kOk, "", ""},
    {"python_empty_entries.zip", "maps/", kOk, "", ""},
    {"python_empty_deflated.zip", "EMPTY.WAD", kOk, "", ""},
    {"infozip_deflate.zip", "DOOM2.WAD", kOk},
    {"infozip_deflate.zip", "readme.txt", kOk},
    {"infozip_stored.zip", "DOOM2.WAD", kOk},
    {"infozip_zip64.zip", "DOOM2.WAD", kOk},           // zip -fz: Zip64 end record and extra fields
    {"infozip_pipe.zip", "DOOM2.WAD", kOk},            // zip to a pipe: a data descriptor
    {"infozip_stdin.zip", "-", kOk, "", "DOOM2.WAD"},  // from a pipe: Zip64 data descriptor
    {"sevenzip_deflate.zip", "DOOM2.WAD", kOk},
    {"sevenzip_deflate.zip", "readme.txt", kOk},
    {"two_iwads.zip", "DOOM.WAD", kOk},
    {"two_iwads.zip", "DOOM2.WAD", kOk},
    {"comment.zip", "DOOM2.WAD", kOk},  // the longest comment there is, 65535 bytes
    {"utf8_names.zip", "\u00dcber.wad", kOk, "", "DOOM.WAD"},
    {"cp437_names.zip", "M\u00fcLLER.WAD", kOk, "", "DOOM.WAD"},
    {"zip64_full.zip", "DOOM2.WAD", kOk},  // every size and offset through Zip64 records
    {"zip64_full.zip", "readme.txt", kOk},

    {"sevenzip_deflate64.zip", "DOOM2.WAD", ZipStatus::kMethod, "Deflate64"},
    {"sevenzip_bzip2.zip", "DOOM2.WAD", ZipStatus::kMethod, "bzip2"},
    {"sevenzip_lzma.zip", "DOOM2.WAD", ZipStatus::kMethod, "LZMA"},
    {"encrypted_zipcrypto.zip", "DOOM2.WAD", ZipStatus::kEncrypted, "encrypted"},
    {"encrypted_aes.zip", "DOOM2.WAD", ZipStatus::kEncrypted, "encrypted"},  // method 99
    {"too_large.zip", "DOOM2.WAD", ZipStatus::kTooLarge},
    {"zip64_too_large.zip", "DOOM2.WAD", ZipStatus::kTooLarge},  // 5 GiB, past 32 bits

    {"damaged_deflate.zip", "DOOM2.WAD", ZipStatus::kDamaged, "damaged"},
    {"damaged_stored.zip", "DOOM2.WAD", ZipStatus::kDamaged, "damaged"},
    {"bomb.zip", "BOMB.WAD", ZipStatus::kDamaged, "damaged", ""},    // 1 MiB declared, 1 GiB in it
    {"short.zip", "SHORT.WAD", ZipStatus::kDamaged, "damaged", ""},  // declares twice its data
    {"outside_entry.zip", "DOOM2.WAD", ZipStatus::kOutside, "", "", false, true},
    {"outside_data.zip", "DOOM2.WAD", ZipStatus::kOutside, "", "", false, true},
    {"no_local_header.zip", "DOOM2.WAD", ZipStatus::kMalformed, "", "", true, true},

    {"outside_directory.zip", nullptr, ZipStatus::kOutside},
    {"outside_directory_size.zip", nullptr, ZipStatus::kOutside},
    {"count_mismatch.zip", nullptr, ZipStatus::kMalformed, "", "", true},
    {"name_overrun.zip", nullptr, ZipStatus::kMalformed, "", "", true},
    {"zip64_huge_count.zip", nullptr, ZipStatus::kMalformed, "", "", true},
    {"split.zip", nullptr, ZipStatus::kSplit, "split"},
    {"truncated.zip", nullptr, ZipStatus::kMalformed, "damaged"},  // begins as one: cut short
    {"not_zip.wad", nullptr, ZipStatus::kNotZip},
    {"empty.zip", nullptr, ZipStatus::kNotZip},
};

void PrintTo(const ArchiveCase& c, std::ostream* out) {
  *out << c.archive << (c.entry ? std::string("//") + c.entry : std::string());
}

bool Holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

void ExpectReport(const ArchiveCase& c, const ZipReport& report) {
  if (c.malformed_or_outside) {
    EXPECT_TRUE(report.status == ZipStatus::kMalformed || report.status == ZipStatus::kOutside)
        << static_cast<int>(report.status);
  } else {
    EXPECT_EQ(report.status, c.status);
  }
  const std::string message = DescribeZipReport(report, "players.zip");
  EXPECT_TRUE(Holds(message, "players.zip")) << message;
  EXPECT_TRUE(Holds(message, c.says)) << message;
  if (report.status == ZipStatus::kDamaged || report.status == ZipStatus::kMalformed) {
    EXPECT_TRUE(Holds(message, "damaged")) << message;
  }
  if (report.status == ZipStatus::kMethod) {
    EXPECT_TRUE(Holds(message, ZipMethodName(report.method))) << message;
  }
  if (c.entry && !report.entry.empty()) {
    EXPECT_EQ(report.entry, c.entry);
    EXPECT_TRUE(Holds(message, c.entry)) << message;
  }
}

bool RefusedByCheck(ZipStatus status) {
  return status == ZipStatus::kMethod || status == ZipStatus::kEncrypted ||
         status == ZipStatus::kTooLarge;
}

// What InflateZipEntry gave: the bytes, and whether it ever went past the declared size (then
// the sink stopped it, so that a runaway stream can't fill the memory).
struct Inflated {
  bool ok = false;
  ZipReport report;
  std::vector<uint8_t> bytes;
  bool past_declared = false;
};

Inflated InflateEntry(const Path& archive, const ZipEntry& entry) {
  Inflated result;
  File file = File::OpenForRead(archive);
  EXPECT_TRUE(file.is_open());
  const uint64_t size = std::filesystem::file_size(archive);
  const ZipSink sink = [&](const uint8_t* data, size_t count, FileError*) {
    if (result.bytes.size() + count > entry.size) {
      result.past_declared = true;
      return false;
    }
    result.bytes.insert(result.bytes.end(), data, data + count);
    return true;
  };
  result.ok = InflateZipEntry(file, size, entry, sink, &result.report);
  return result;
}

class ZipArchiveTest : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(ZipArchiveTest, ReadsOrRefusesWithItsReason) {
  const ArchiveCase& c = GetParam();
  ZipDirectory directory;
  ZipReport report;
  const bool read = ReadZipFile(TestArchive(c.archive), &directory, &report);
  if (!c.entry || (!read && c.directory_may_refuse)) {
    EXPECT_FALSE(read);
    ExpectReport(c, report);
    return;
  }
  ASSERT_TRUE(read) << DescribeZipReport(report, c.archive);
  const ZipEntry* entry = FindEntry(directory, c.entry);
  ASSERT_NE(entry, nullptr);

  ZipReport checked;
  EXPECT_EQ(CheckZipEntry(*entry, &checked), !RefusedByCheck(c.status));
  if (RefusedByCheck(c.status)) ExpectReport(c, checked);

  const std::vector<uint8_t> original = Original(c.original ? c.original : c.entry);
  const Inflated inflated = InflateEntry(TestArchive(c.archive), *entry);
  EXPECT_FALSE(inflated.past_declared) << "more than the declared size reached the sink";
  EXPECT_EQ(inflated.ok, c.status == kOk);
  if (c.status == kOk) {
    EXPECT_EQ(entry->size, original.size());
    EXPECT_EQ(entry->crc32, Crc32(0, original.data(), original.size()));
    EXPECT_TRUE(inflated.bytes == original) << "unpacked bytes differ from the original";
  } else {
    ExpectReport(c, inflated.report);
  }

  testing::ScratchDir folder;
  TempFile unpacked;
  FileDigest digest;
  ZipReport unpack_report;
  const bool done = UnpackZipEntry(TestArchive(c.archive), *entry, folder.path(), {}, &unpacked,
                                   &digest, &unpack_report);
  EXPECT_EQ(done, c.status == kOk);
  if (done) {
    EXPECT_EQ(unpacked.path().parent_path(), folder.path());
    EXPECT_TRUE(testing::ReadFileBytes(unpacked.path()) == original);
    EXPECT_TRUE(digest.complete);
    EXPECT_EQ(FormatDigest(digest.bytes), testing::Sha1Hex(original));
    unpacked.Reset();
  } else {
    EXPECT_TRUE(unpacked.empty());
    ExpectReport(c, unpack_report);
  }
  EXPECT_TRUE(testing::FileNames(folder.path()).empty()) << "a temporary file was left behind";
}

std::string CaseName(const ::testing::TestParamInfo<ArchiveCase>& info) {
  std::string name = std::to_string(info.index) + "_" + info.param.archive;
  name = name.substr(0, name.rfind('.'));
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Archives, ZipArchiveTest, ::testing::ValuesIn(kCases), CaseName);

// Zip64 records and data descriptors are other ways of writing the same directory.
TEST(ZipDirectoryTest, Zip64AndDataDescriptorsGiveTheSameEntries) {
  const ZipDirectory plain = testing::ReadTestArchive("python_deflate.zip");
  for (const char* archive : {"zip64_full.zip", "python_pipe.zip", "python_zip64.zip"}) {
    SCOPED_TRACE(archive);
    const ZipDirectory other = testing::ReadTestArchive(archive);
    ASSERT_EQ(other.entries.size(), plain.entries.size());
    for (size_t i = 0; i < plain.entries.size(); ++i) {
      const ZipEntry& a = plain.entries[i];
      const ZipEntry& b = other.entries[i];
      EXPECT_EQ(a.name, b.name);
      EXPECT_EQ(a.method, b.method);
      EXPECT_EQ(a.crc32, b.crc32);
      EXPECT_EQ(a.size, b.size);
      EXPECT_EQ(a.compressed_size, b.compressed_size);
    }
  }
  // The Zip64 form of the same archive holds the same bytes up to its directory.
  const ZipDirectory zip64 = testing::ReadTestArchive("zip64_full.zip");
  for (size_t i = 0; i < plain.entries.size(); ++i) {
    EXPECT_EQ(zip64.entries[i].header_offset, plain.entries[i].header_offset);
  }
  const ZipDirectory huge = testing::ReadTestArchive("zip64_too_large.zip");
  EXPECT_EQ(huge.entries[0].size, uint64_t{5} << 30);
}

TEST(ZipDirectoryTest, EntriesComeInTheDirectorysOrderWithFoldersMarked) {
  const ZipDirectory directory = testing::ReadTestArchive("two_iwads.zip");
  std::vector<std::string> names;
  for (const ZipEntry& entry : directory.entries) names.push_back(entry.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"DOOM.WAD", "extras/", "extras/readme.txt", "DOOM2.WAD"}));
  EXPECT_TRUE(directory.entries[1].is_directory());
  EXPECT_FALSE(directory.entries[2].is_directory());
  EXPECT_TRUE(testing::ReadTestArchive("python_no_entries.zip").entries.empty());
  EXPECT_TRUE(directory.entries[0].method == kZipDeflate);
  EXPECT_TRUE(testing::ReadTestArchive("python_stored.zip").entries[0].method == kZipStored);
}

// A file cut short anywhere has lost its end record.
TEST(ZipDirectoryTest, EveryPrefixOfAnArchiveIsRefused) {
  testing::ScratchDir dir;
  for (const char* archive : {"small_deflate.zip", "small_zip64.zip", "small_comment.zip"}) {
    const std::vector<uint8_t> bytes = testing::ReadFileBytes(TestArchive(archive));
    for (size_t length = 0; length < bytes.size(); ++length) {
      SCOPED_TRACE(::testing::Message() << archive << " cut to " << length);
      std::filesystem::remove(dir / "cut.zip");
      testing::WriteFileBytes(dir / "cut.zip", {bytes.begin(), bytes.begin() + length});
      ZipDirectory directory;
      ZipReport report;
      ASSERT_FALSE(ReadZipFile(dir / "cut.zip", &directory, &report));
      EXPECT_NE(report.status, kOk);
      EXPECT_FALSE(DescribeZipReport(report, "cut.zip").empty());
    }
  }
}

// Whatever byte is changed, the reader either refuses with a reason or gives exactly the data its
// directory declares: the declared size, and the declared CRC-32.
TEST(ZipDirectoryTest, ADamagedByteIsRefusedOrTheDataIsAsDeclared) {
  testing::ScratchDir dir;
  const Path path = dir / "changed.zip";
  for (const char* archive :
       {"small_stored.zip", "small_deflate.zip", "small_data_descriptor.zip", "small_zip64.zip"}) {
    const std::vector<uint8_t> bytes = testing::ReadFileBytes(TestArchive(archive));
    for (size_t at = 0; at < bytes.size(); ++at) {
      // Sizes and offsets off by one or by far, and signatures broken.
      const uint8_t mask = (at % 3 == 0) ? 0x01 : (at % 3 == 1) ? 0x80 : 0xFF;
      SCOPED_TRACE(::testing::Message() << archive << " byte " << at << " ^ " << int{mask});
      std::vector<uint8_t> changed = bytes;
      changed[at] ^= mask;
      std::filesystem::remove(path);  // a fresh file: rewriting one in place costs a flush
      testing::WriteFileBytes(path, changed);
      ZipDirectory directory;
      ZipReport report;
      if (!ReadZipFile(path, &directory, &report)) {
        ASSERT_NE(report.status, kOk);
        continue;
      }
      for (const ZipEntry& entry : directory.entries) {
        const Inflated inflated = InflateEntry(path, entry);
        ASSERT_FALSE(inflated.past_declared);
        if (!inflated.ok) {
          ASSERT_NE(inflated.report.status, kOk);
          continue;
        }
        ASSERT_EQ(inflated.bytes.size(), entry.size);
        ASSERT_EQ(Crc32(0, inflated.bytes.data(), inflated.bytes.size()), entry.crc32);
      }
    }
  }
}

}  // namespace
}  // namespace tvl
