#include "patching/source_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "tests/test_files.h"

#ifndef _WIN32
#include <unistd.h>
#include <cerrno>

#include "tests/fifo_feeder.h"
#endif

namespace tvl {
namespace {

constexpr uint64_t kBlock = kSourceBlockSize;

uint64_t BlockCount(uint64_t size) { return (size + kBlock - 1) / kBlock; }

// Loads `block` and checks it holds what `bytes` says: its share of the file, short at the end,
// empty past it.
void ExpectBlock(SourceBlocks* blocks, uint64_t block, const std::vector<uint8_t>& bytes) {
  DecodeSource source{};
  ASSERT_TRUE(LoadSourceBlock(blocks, block, &source)) << "block " << block;
  EXPECT_EQ(source.block_number, block);
  ASSERT_NE(source.block_data, nullptr) << "block " << block;
  const uint64_t size = blocks->block_size;
  const uint64_t start =
      block < ~uint64_t{0} / size ? std::min<uint64_t>(block * size, bytes.size()) : bytes.size();
  const uint64_t expected = std::min<uint64_t>(size, bytes.size() - start);
  ASSERT_EQ(source.block_bytes, expected) << "block " << block;
  if (expected != 0) {
    EXPECT_EQ(0, std::memcmp(source.block_data, bytes.data() + start, expected))
        << "block " << block;
  }
}

// Both ways of serving blocks give every block's bytes, short last blocks, and empty blocks past
// the end, whatever order the decoder asks in: on in order across the read-ahead's boundaries as
// its reads grow, back and forth as copies jump. Reads take the block size the caller asks for,
// raised to a power of two and kept within the read-ahead; a view is one block.
TEST(SourceBlocksTest, ServeEveryBlockInAnyOrderFromViewsAndReads) {
  testing::ScratchDir dir;
  const size_t sizes[] = {0, 1, 4095, 4096, 4097, kSourceReadSize * 3 + 5, (1 << 20) + 7};
  const struct {
    SourceReading reading;
    uint64_t block_size;  // for reads; a view's is its size, raised to a power of two
  } readings[] = {
      {{SourceAccess::kMapped, kSourceBlockSize}, 0},
      {{SourceAccess::kRead, kSourceBlockSize}, kSourceBlockSize},
      {{SourceAccess::kRead, 0}, 1},
      {{SourceAccess::kRead, 1}, 1},
      {{SourceAccess::kRead, 3}, 4},
      {{SourceAccess::kRead, 1000}, 1024},
      {{SourceAccess::kRead, kSourceReadSize}, kSourceReadSize},
      {{SourceAccess::kRead, kSourceReadSize + 1}, kSourceReadSize},
      {{SourceAccess::kRead, ~uint64_t{0}}, kSourceReadSize},
  };
  for (const auto& [reading, block_size] : readings) {
    const bool mapped = reading.access == SourceAccess::kMapped;
    for (size_t size : sizes) {
      // A million one-byte blocks would only repeat what the smaller files show.
      if (!mapped && block_size < 1024 && size > kSourceReadSize * 3 + 5) continue;
      SCOPED_TRACE(::testing::Message()
                   << "size " << size << " mapped " << mapped << " block " << reading.block_size);
      const std::vector<uint8_t> bytes = testing::RandomBytes(size, static_cast<uint32_t>(size));
      testing::WriteFileBytes(dir / "source", bytes);
      File file = File::OpenForRead(dir / "source");
      SourceBlocks blocks;
      ASSERT_TRUE(InitSourceBlocks(&blocks, &file, reading));
      EXPECT_EQ(blocks.view.is_mapped(), mapped);
      EXPECT_EQ(blocks.block_size, mapped ? std::bit_ceil(uint64_t{size}) : block_size);

      const uint64_t block_count = (size + blocks.block_size - 1) / blocks.block_size;
      std::vector<uint64_t> order;
      for (uint64_t block = 0; block < block_count + 3; ++block) order.push_back(block);
      for (uint64_t block = block_count + 3; block-- > 0;) order.push_back(block);
      for (uint64_t block : {uint64_t{0}, block_count + 100, block_count / 2, block_count / 2 + 1,
                             block_count / 2 - (block_count > 1), ~uint64_t{0}}) {
        order.push_back(block);
      }
      for (uint64_t block : order) {
        ASSERT_NO_FATAL_FAILURE(ExpectBlock(&blocks, block, bytes));
      }
      EXPECT_TRUE(SourceBlocksIntact(&blocks));
    }
  }
}

// A file that ends before the size it had when we began was changed by someone else: that is
// an error, not a short last block.
TEST(SourceBlocksTest, AReadFileThatEndsEarlyHasChanged) {
  testing::ScratchDir dir;
  const std::vector<uint8_t> bytes = testing::RandomBytes(kSourceReadSize + 5000, 1);
  testing::WriteFileBytes(dir / "source", bytes);
  File file = File::OpenForRead(dir / "source");
  SourceBlocks blocks;
  ASSERT_TRUE(InitSourceBlocks(&blocks, &file, {SourceAccess::kRead}));
  ASSERT_TRUE(blocks.size_known);
  ASSERT_EQ(blocks.size, bytes.size());
  ASSERT_NO_FATAL_FAILURE(ExpectBlock(&blocks, 0, bytes));
  // As if the file had held three more blocks when we began.
  blocks.size += 3 * kBlock;
  DecodeSource source{};
  EXPECT_FALSE(LoadSourceBlock(&blocks, BlockCount(bytes.size()) - 1, &source));
  EXPECT_EQ(source.block_bytes, 0u);
  EXPECT_EQ(blocks.failure, SourceFailure::kChanged);
  EXPECT_FALSE(SourceBlocksIntact(&blocks));
}

#ifndef _WIN32

// Another program shortens the source after we began. Read, the read comes up short; viewed,
// the pages past the new end read as zeros and the check after the decoder's step says so.
TEST(SourceBlocksTest, ASourceCutShortIsAnErrorOnBothPaths) {
  testing::ScratchDir dir;
  const std::vector<uint8_t> bytes = testing::RandomBytes(40 * kBlock + 10, 2);
  for (SourceAccess access : {SourceAccess::kMapped, SourceAccess::kRead}) {
    SCOPED_TRACE(access == SourceAccess::kMapped ? "mapped" : "read");
    testing::WriteFileBytes(dir / "source", bytes);
    File file = File::OpenForRead(dir / "source");
    SourceBlocks blocks;
    ASSERT_TRUE(InitSourceBlocks(&blocks, &file, {access}));
    ASSERT_NO_FATAL_FAILURE(ExpectBlock(&blocks, 0, bytes));
    ASSERT_EQ(::truncate((dir / "source").c_str(), 10 * kBlock), 0);

    DecodeSource source{};
    // Block 30 of the file as read; a view serves the whole file as block 0.
    const bool mapped = access == SourceAccess::kMapped;
    const bool loaded = LoadSourceBlock(&blocks, mapped ? 0 : 30, &source);
    if (mapped) {
      ASSERT_TRUE(loaded);
      ASSERT_EQ(source.block_bytes, bytes.size());
      const uint8_t* cut = source.block_data + 30 * kBlock;
      std::vector<uint8_t> copy(cut, cut + kBlock);  // no crash
      EXPECT_EQ(copy, std::vector<uint8_t>(kBlock, 0));
    } else {
      EXPECT_FALSE(loaded);
      EXPECT_EQ(source.block_bytes, 0u);
    }
    EXPECT_FALSE(SourceBlocksIntact(&blocks));
    EXPECT_EQ(blocks.failure, SourceFailure::kChanged);
    EXPECT_EQ(blocks.error, 0u);
  }
}

// A view whose page faulted while the file kept its size met a failing disk: the reason is the
// system's I/O error.
TEST(SourceBlocksTest, AFaultedViewOfAFileOfUnchangedSizeIsAReadError) {
  testing::ScratchDir dir;
  const std::vector<uint8_t> bytes = testing::RandomBytes(8 * kBlock, 3);
  testing::WriteFileBytes(dir / "source", bytes);
  File file = File::OpenForRead(dir / "source");
  SourceBlocks blocks;
  ASSERT_TRUE(InitSourceBlocks(&blocks, &file));
  ASSERT_TRUE(blocks.view.is_mapped());
  ASSERT_EQ(::truncate((dir / "source").c_str(), 0), 0);
  DecodeSource source{};
  ASSERT_TRUE(LoadSourceBlock(&blocks, 0, &source));
  EXPECT_EQ(source.block_data[5 * kBlock + 100], 0);
  ASSERT_EQ(::truncate((dir / "source").c_str(), static_cast<off_t>(bytes.size())), 0);
  EXPECT_FALSE(SourceBlocksIntact(&blocks));
  EXPECT_EQ(blocks.failure, SourceFailure::kRead);
  EXPECT_EQ(blocks.error, static_cast<FileError>(EIO));
}

TEST(SourceBlocksTest, AFailedReadCarriesTheSystemsReason) {
  testing::ScratchDir dir;
  File folder = File::OpenForRead(dir.path());  // opens on POSIX; reading it fails
  ASSERT_TRUE(folder.is_open());
  SourceBlocks blocks;
  ASSERT_TRUE(InitSourceBlocks(&blocks, &folder));
  EXPECT_FALSE(blocks.view.is_mapped());
  DecodeSource source{};
  EXPECT_FALSE(LoadSourceBlock(&blocks, 0, &source));
  EXPECT_EQ(source.block_bytes, 0u);
  EXPECT_NE(source.block_data, nullptr);
  EXPECT_EQ(blocks.failure, SourceFailure::kRead);
  EXPECT_EQ(blocks.error, static_cast<FileError>(EISDIR));
}

// A pipe gives its bytes in short reads and can't seek: walked in ascending order, as the decoder
// walks a source, with repeats and gaps, every block still comes whole, across every boundary of
// the read-ahead. Going back is impossible, and says so.
TEST(SourceBlocksTest, APipeWalkedInAscendingOrderGivesEveryBlockWhole) {
  testing::ScratchDir dir;
  const std::vector<uint8_t> bytes = testing::RandomBytes(kSourceReadSize * 3 + 5, 4);
  const uint64_t block_count = BlockCount(bytes.size());
  struct Walk {
    const char* name;
    std::vector<uint64_t> blocks;
  };
  std::vector<Walk> walks(3);
  walks[0].name = "every block";
  for (uint64_t block = 0; block < block_count + 2; ++block) walks[0].blocks.push_back(block);
  walks[1].name = "repeats and gaps";
  for (uint64_t block : {0, 0, 1, 2, 2, 5, 6, 7, 8, 15, 16, 17, 31, 32, 33, 34, 47, 48}) {
    walks[1].blocks.push_back(block);
  }
  walks[1].blocks.push_back(block_count - 1);
  walks[1].blocks.push_back(block_count + 5);
  walks[2].name = "one block, then past the end";
  walks[2].blocks = {0, block_count + 1000};
  for (const Walk& walk : walks) {
    SCOPED_TRACE(walk.name);
    const Path pipe_path = dir / walk.name;
    testing::FifoFeeder feeder(pipe_path, bytes);
    File pipe = File::OpenForRead(pipe_path);
    ASSERT_TRUE(pipe.is_open());
    SourceBlocks blocks;
    ASSERT_TRUE(InitSourceBlocks(&blocks, &pipe));
    EXPECT_FALSE(blocks.view.is_mapped());
    EXPECT_FALSE(blocks.size_known);
    for (uint64_t block : walk.blocks) {
      ASSERT_NO_FATAL_FAILURE(ExpectBlock(&blocks, block, bytes));
    }
    EXPECT_TRUE(SourceBlocksIntact(&blocks));
  }

  testing::FifoFeeder feeder(dir / "backwards", bytes);
  File pipe = File::OpenForRead(dir / "backwards");
  SourceBlocks blocks;
  ASSERT_TRUE(InitSourceBlocks(&blocks, &pipe));
  ASSERT_NO_FATAL_FAILURE(ExpectBlock(&blocks, 20, bytes));
  DecodeSource source{};
  EXPECT_FALSE(LoadSourceBlock(&blocks, 3, &source));
  EXPECT_EQ(blocks.failure, SourceFailure::kRead);
  EXPECT_EQ(blocks.error, static_cast<FileError>(ESPIPE));
  pipe.Close();  // the writer sees a closed pipe and stops
}

#endif  // _WIN32

}  // namespace
}  // namespace tvl
