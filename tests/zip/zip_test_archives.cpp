#include "tests/zip/zip_test_archives.h"

#include <gtest/gtest.h>

#include "catalogue/identify.h"
#include "catalogue/sha1.h"
#include "tests/test_files.h"
#include "zip/zipped_file.h"

namespace tvl::testing {

Path TestArchive(std::string_view name) { return Path(TVL_ZIP_TEST_ARCHIVES) / Path(name); }

std::vector<uint8_t> Original(std::string_view name) {
  if (name.empty()) return {};
  return ReadFileBytes(Path(TVL_ZIP_TEST_ARCHIVES) / "originals" / Path(name));
}

ZipDirectory ReadTestArchive(std::string_view name) {
  ZipDirectory directory;
  ZipReport report;
  EXPECT_TRUE(ReadZipFile(TestArchive(name), &directory, &report))
      << DescribeZipReport(report, std::string(name));
  return directory;
}

const ZipEntry* FindEntry(const ZipDirectory& directory, std::string_view name) {
  for (const ZipEntry& entry : directory.entries) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

std::string Sha1Hex(const std::vector<uint8_t>& bytes) {
  Sha1Context context;
  Sha1Init(&context);
  Sha1Update(&context, bytes.data(), bytes.size());
  uint8_t digest[kSha1DigestSize];
  Sha1Final(&context, digest);
  return FormatDigest(digest);
}

std::vector<std::string> EntryNames(const std::vector<const ZipEntry*>& entries) {
  std::vector<std::string> names;
  for (const ZipEntry* entry : entries) names.push_back(entry->name);
  return names;
}

}  // namespace tvl::testing
