// Runs against the test digest overlay (test_digests.cpp), so known releases are files we write.
#include "catalogue/identify.h"

#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "tests/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "tests/fifo_feeder.h"
#endif

namespace tvl {
namespace {

// The digest of bytes hashed in one piece, to hold a file's against.
std::string DigestOf(const std::vector<uint8_t>& bytes) {
  Sha1Context context;
  Sha1Init(&context);
  Sha1Update(&context, bytes.data(), bytes.size());
  uint8_t digest[kSha1DigestSize];
  Sha1Final(&context, digest);
  return FormatDigest(digest);
}

class IdentifyTest : public ::testing::Test {
 protected:
  void SetUp() override { InitIwadCatalogue(); }
  testing::ScratchDir dir_;
};

TEST_F(IdentifyTest, OverlayReplacesOnlyTheChosenDigests) {
  EXPECT_STREQ(GetIwad(31).sha1_hex, "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_STREQ(GetIwad(30).sha1_hex, "d510c877031bbd5f3d198581a2c8651e09b9861f");
  EXPECT_EQ(GetIwad(31).index, 31);
}

TEST_F(IdentifyTest, KnownFilesYieldTheirIndexIncludingIdentificationOnlyReleases) {
  testing::WriteFileText(dir_ / "doom2.wad", "abc");
  EXPECT_EQ(IdentifyIwad(dir_ / "doom2.wad"), 31);
  // Exactly one full read, then the zero-byte read that ends the loop.
  testing::WriteFileText(dir_ / "freedoom2.wad", std::string(8192, 'F'));
  EXPECT_EQ(IdentifyIwad(dir_ / "freedoom2.wad"), 84);
}

TEST_F(IdentifyTest, UnknownEmptyMissingAndUnreadableFilesYieldMinusOne) {
  testing::WriteFileText(dir_ / "other.wad", "abd");
  EXPECT_EQ(IdentifyIwad(dir_ / "other.wad"), -1);
  testing::WriteFileText(dir_ / "empty.wad", "");
  EXPECT_EQ(IdentifyIwad(dir_ / "empty.wad"), -1);
  EXPECT_EQ(IdentifyIwad(dir_ / "missing.wad"), -1);
  EXPECT_EQ(IdentifyIwad(dir_.path()), -1);  // a folder: the open or the first read fails
}

TEST_F(IdentifyTest, DigestCoversWholeFilesAcrossReadBoundaries) {
  for (size_t size : {0u, 1u, 8191u, 8192u, 8193u, 16384u, 100000u}) {
    std::vector<uint8_t> bytes = testing::RandomBytes(size, static_cast<uint32_t>(size));
    testing::WriteFileBytes(dir_ / "f.bin", bytes);
    FileDigest digest = Sha1OfFile(dir_ / "f.bin");
    EXPECT_TRUE(digest.complete) << size;
    EXPECT_EQ(FormatDigest(digest.bytes), DigestOf(bytes)) << size;
  }
}

TEST_F(IdentifyTest, ReportsWhyAFileCouldNotBeHashed) {
  FileDigest missing = Sha1OfFile(dir_ / "missing.wad");
  EXPECT_FALSE(missing.complete);
  EXPECT_NE(missing.error, 0u);
  EXPECT_EQ(FormatDigest(missing.bytes), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_FALSE(DescribeFileError(missing.error).empty());
}

#ifndef _WIN32
// A pipe gives its bytes in short reads; only a read of nothing is its end. Short reads taken for
// the end would hash a prefix.
TEST_F(IdentifyTest, PipesAreHashedWholeThroughShortReads) {
  const std::vector<uint8_t> bytes = testing::RandomBytes(3 * kIdentifyReadSize + 100000 + 7, 9);
  testing::FifoFeeder feeder(dir_ / "pipe.wad", bytes);
  FileDigest digest = Sha1OfFile(dir_ / "pipe.wad");
  EXPECT_TRUE(digest.complete);
  EXPECT_EQ(FormatDigest(digest.bytes), DigestOf(bytes));

  testing::FifoFeeder release(dir_ / "doom2.wad", {'a', 'b', 'c'});
  EXPECT_EQ(IdentifyIwad(dir_ / "doom2.wad"), 31);
}
#endif

#ifdef _WIN32
TEST_F(IdentifyTest, FileOpenForWritingElsewhereYieldsMinusOne) {
  testing::WriteFileText(dir_ / "doom2.wad", "abc");
  HANDLE writer = CreateFileW((dir_ / "doom2.wad").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(IdentifyIwad(dir_ / "doom2.wad"), -1);
  CloseHandle(writer);
  EXPECT_EQ(IdentifyIwad(dir_ / "doom2.wad"), 31);
}
#endif

}  // namespace
}  // namespace tvl
