// Large sources: every part of them must stay within reach of the matcher, at an index size that
// grows no faster than the source.
#include <gtest/gtest.h>

#include <cstdint>

#include "bench/edited_pair.h"
#include "vcdiff/encoder/encoder.h"
#include "vcdiff/encoder/window_matcher.h"

namespace tvl {
namespace {

TEST(SourceStepTest, SpreadsPositionsOnlyWhereTheIndexWouldOverflow) {
  const MatcherParams params;
  struct Case {
    uint64_t source_size;
    uint64_t step;
  };
  const Case cases[] = {
      {0, 2},           {1000, 2},        {28544136, 2},     // a Freedoom release: every 2nd
      {33554432, 2},    {33554434, 4},    {110000000, 8},    // the largest releases
      {300000000, 32},  {1000000000, 64}, {1073741824, 32},  // from 1 GiB the index grows
      {4294967295, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source_size);
    EXPECT_EQ(SourceStepFor(c.source_size, params), c.step);
  }
  MatcherParams sparse;
  sparse.source_step = 16;
  EXPECT_EQ(SourceStepFor(1000, sparse), 16u);
  EXPECT_EQ(SourceStepFor(300000000, sparse), 32u);
}

// What a mature encoder gets on this shape is the random bytes the edits brought plus about 3%;
// the bound leaves 5% on top of that. Only the size is measured: the round trip of large patches
// is the bench's job, and the pair alone takes 600 MB.
TEST(LargePairTest, PatchOfA300MBPairStaysNearTheFreshBytes) {
  if constexpr (sizeof(void*) < 8) {
    GTEST_SKIP() << "a 32-bit process has no room for the pair and the index";
  }
  const bench::EditedPair pair = bench::MakeEditedPair(300000000, 22);
  std::vector<uint8_t> patch;
  const EncodeResult result =
      EncodeDelta(pair.source, pair.target, EncodeOptions{"target.wad", "source.wad"}, patch);
  ASSERT_EQ(result.status, EncodeStatus::kOk) << result.message;
  const double bound = static_cast<double>(pair.fresh_bytes) * 1.03 * 1.05;
  EXPECT_LE(static_cast<double>(patch.size()), bound)
      << patch.size() << " bytes for " << pair.fresh_bytes << " fresh ones";
  // The edits' bytes are all the patch ADDs: no run of the source was missed, and random bytes
  // can't be copied from anywhere, so the floor the bound rests on is real.
  EXPECT_LE(result.stats.add_bytes, pair.fresh_bytes + pair.fresh_bytes / 100);
  EXPECT_GE(result.stats.add_bytes, pair.fresh_bytes - pair.fresh_bytes / 100);
}

}  // namespace
}  // namespace tvl
