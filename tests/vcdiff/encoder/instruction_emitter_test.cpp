#include "vcdiff/encoder/instruction_emitter.h"

#include <gtest/gtest.h>

#include <vector>

namespace tvl {
namespace {

using Bytes = std::vector<uint8_t>;

struct EmitterTest : ::testing::Test {
  InstructionEmitter e;
  const Bytes text = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j',
                      'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't'};
  void SetUp() override { StartWindow(e, 1000); }
};

TEST_F(EmitterTest, AddThenCopySharesAnOpcode) {
  EmitAdd(e, text.data(), 3);
  EmitCopy(e, 50, 5);  // VCD_SELF, one byte
  FinishWindow(e);
  EXPECT_EQ(e.instructions, Bytes({163 + (3 - 1) * 3 + (5 - 4)}));  // ADD 3 + COPY 5 mode 0
  EXPECT_EQ(e.addresses, Bytes({50}));
  EXPECT_EQ(e.data, Bytes(text.begin(), text.begin() + 3));
}

TEST_F(EmitterTest, CopyThenAddSharesAnOpcode) {
  EmitCopy(e, 50, 4);
  EmitAdd(e, text.data(), 1);
  FinishWindow(e);
  EXPECT_EQ(e.instructions, Bytes({247}));  // COPY 4 mode 0 + ADD 1
}

TEST_F(EmitterTest, SizesOutsideTheTableAreWrittenExplicitly) {
  EmitAdd(e, text.data(), 17);
  EmitRun(e, 0x41, 10);
  EmitAdd(e, text.data(), 18);
  EmitCopy(e, 60, 3);
  EmitCopy(e, 70, 19);
  FinishWindow(e);
  EXPECT_EQ(e.instructions, Bytes({18, 0, 10, 1, 18, 19, 3, 19, 19}));
  EXPECT_EQ(e.data.size(), 17u + 1 + 18);
  EXPECT_EQ(e.data[17], 0x41);
  EXPECT_EQ(e.position, 1000u + 17 + 10 + 18 + 3 + 19);
}

TEST_F(EmitterTest, ConsecutiveAddsMerge) {
  EmitAdd(e, text.data(), 2);
  EmitAdd(e, text.data() + 2, 3);
  FinishWindow(e);
  EXPECT_EQ(e.instructions, Bytes({6}));  // ADD 5
  EXPECT_EQ(e.stats.adds, 1u);
}

TEST_F(EmitterTest, AddressesGoThroughTheCache) {
  EmitCopy(e, 300, 20);  // VCD_SELF 300 (two bytes)
  EmitCopy(e, 310, 20);  // near slot 0 + 10
  EmitCopy(e, 300, 20);  // same block 1, byte 300 % 256
  EmitCopy(e, 1050, 6);  // 10 bytes back from here (1060): VCD_HERE
  FinishWindow(e);
  EXPECT_EQ(e.addresses, Bytes({0x82, 0x2C, 10, 300 % 256, 10}));
  EXPECT_EQ(e.instructions, Bytes({19, 20, 19 + 2 * 16, 20, 19 + 7 * 16, 20, 35 + 6 - 3}));
  EXPECT_EQ(e.stats.source_copies, 3u);
  EXPECT_EQ(e.stats.target_copies, 1u);
}

TEST_F(EmitterTest, EachWindowStartsWithAnEmptyCache) {
  EmitCopy(e, 300, 20);
  FinishWindow(e);
  StartWindow(e, 1000);
  EmitCopy(e, 300, 20);  // not a same hit any more
  FinishWindow(e);
  EXPECT_EQ(e.addresses, Bytes({0x82, 0x2C}));
  EXPECT_TRUE(e.data.empty());
}

}  // namespace
}  // namespace tvl
