#include "platform/file.h"
#include "platform/large_buffer.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

#include <cstdint>
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

TEST(LargeBufferTest, EverySizeIsWholeAndWritable) {
  const size_t mib = size_t{1} << 20;
  for (size_t size : {size_t{0}, size_t{1}, 2 * mib - 1, 2 * mib, 8 * mib + 16384}) {
    SCOPED_TRACE(size);
    auto* buffer = static_cast<uint8_t*>(AllocateLargeBuffer(size));
    ASSERT_NE(buffer, nullptr);
    std::memset(buffer, 0xA5, size == 0 ? 1 : size);
    EXPECT_EQ(buffer[size == 0 ? 0 : size - 1], 0xA5);
    FreeLargeBuffer(buffer);
  }
  EXPECT_EQ(AllocateLargeBuffer(SIZE_MAX - 100), nullptr);
  FreeLargeBuffer(nullptr);
}

}  // namespace
}  // namespace tvl
