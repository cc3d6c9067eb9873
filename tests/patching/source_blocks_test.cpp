#include "patching/source_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/test_files.h"

namespace tvl {
namespace {

// Both ways of serving blocks give every block's bytes, short last blocks, and empty blocks past
// the end, whatever order the decoder asks in (copies jump back and forth), with every block
// still readable after the view's pages have been handed back.
TEST(SourceBlocksTest, ServeEveryBlockInAnyOrderFromViewsAndReads) {
  testing::ScratchDir dir;
  // The largest walks through enough of a view to have its pages handed back on the way.
  const size_t sizes[] = {0,
                          1,
                          4095,
                          4096,
                          4097,
                          kSourceReadSize * 3 + 5,
                          kViewResidentBudget * 2 + kViewRegionSize + 7};
  for (SourceAccess access : {SourceAccess::kMapped, SourceAccess::kRead}) {
    for (size_t size : sizes) {
      SCOPED_TRACE(::testing::Message()
                   << "size " << size << " mapped " << (access == SourceAccess::kMapped));
      const std::vector<uint8_t> bytes = testing::RandomBytes(size, static_cast<uint32_t>(size));
      testing::WriteFileBytes(dir / "source", bytes);
      File file = File::OpenForRead(dir / "source");
      SourceBlocks blocks;
      ASSERT_TRUE(InitSourceBlocks(&blocks, &file, access));
      EXPECT_EQ(blocks.view.is_mapped(), access == SourceAccess::kMapped);

      const uint64_t block_count = (size + kSourceBlockSize - 1) / kSourceBlockSize;
      std::vector<uint64_t> order;
      for (uint64_t block = 0; block < block_count + 3; ++block) order.push_back(block);
      std::reverse(order.begin(), order.end());
      order.push_back(0);
      order.push_back(block_count + 100);
      order.push_back(block_count / 2);
      for (uint64_t block : order) {
        DecodeSource source{};
        LoadSourceBlock(&blocks, block, &source);
        EXPECT_EQ(source.block_number, block);
        ASSERT_NE(source.block_data, nullptr) << "block " << block;
        const uint64_t start = std::min<uint64_t>(block * kSourceBlockSize, size);
        const uint64_t expected = std::min<uint64_t>(kSourceBlockSize, size - start);
        ASSERT_EQ(source.block_bytes, expected) << "block " << block;
        if (expected != 0) {
          EXPECT_EQ(0, std::memcmp(source.block_data, bytes.data() + start, expected));
        }
      }
    }
  }
}

}  // namespace
}  // namespace tvl
