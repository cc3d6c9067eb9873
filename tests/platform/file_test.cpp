#include "platform/file.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

#include <cstring>

namespace tvl {
namespace {

TEST(FileTest, WritesSeeksAndReadsBack) {
  testing::ScratchDir dir;
  std::vector<uint8_t> bytes = testing::RandomBytes(10000, 1);
  testing::WriteFileBytes(dir / "a.bin", bytes);

  File file = File::OpenForRead(dir / "a.bin");
  ASSERT_TRUE(file.is_open());
  uint8_t buffer[100];
  ASSERT_TRUE(file.Seek(9950));
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 50);
  EXPECT_EQ(0, std::memcmp(buffer, bytes.data() + 9950, 50));
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
  ASSERT_TRUE(file.Seek(20000));  // past the end: reads then give nothing
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
}

TEST(FileTest, CreateTruncatesAndMovingHandsOverOwnership) {
  testing::ScratchDir dir;
  testing::WriteFileText(dir / "a.bin", "longer text");
  File writer = File::CreateForWrite(dir / "a.bin");
  File moved = std::move(writer);
  EXPECT_FALSE(writer.is_open());
  ASSERT_TRUE(moved.is_open());
  EXPECT_EQ(moved.Write("ab", 2), 2u);
  EXPECT_TRUE(moved.Close());
  EXPECT_EQ(testing::ReadFileBytes(dir / "a.bin"), (std::vector<uint8_t>{'a', 'b'}));
}

TEST(FileTest, FailuresReportAnErrorAndClosedFilesNeitherReadNorWrite) {
  testing::ScratchDir dir;
  FileError error = 0;
  File missing = File::OpenForRead(dir / "missing", &error);
  EXPECT_FALSE(missing.is_open());
  EXPECT_NE(error, 0u);
  File nowhere = File::CreateForWrite(dir / "no" / "such" / "dir", &error);
  EXPECT_FALSE(nowhere.is_open());

  char byte;
  EXPECT_EQ(missing.Read(&byte, 1), -1);
  EXPECT_EQ(missing.Write("x", 1), 0u);
  EXPECT_FALSE(missing.Seek(0));
  EXPECT_TRUE(missing.Close());
}

}  // namespace
}  // namespace tvl
