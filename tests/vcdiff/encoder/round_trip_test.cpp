// The encoder's round trip: it must say why a patch fails, and fail one that decodes to the
// wrong bytes.
#include "vcdiff/encoder/round_trip.h"

#include <gtest/gtest.h>

#include "tests/vcdiff/encoder/test_data.h"
#include "vcdiff/encoder/encoder.h"

namespace tvl {
namespace {

using testing::Bytes;

TEST(VerifyDelta, AcceptsOnlyAPatchThatRebuildsTheTarget) {
  const Bytes source = testing::RandomBytes(20000, 31);
  Bytes target = source;
  target[10000] ^= 1;
  Bytes patch;
  ASSERT_EQ(EncodeDelta(source, target, EncodeOptions{"a.wad", "b.wad"}, patch).status,
            EncodeStatus::kOk);
  EXPECT_TRUE(VerifyDelta(source, target, patch).rebuilt);

  // Decodes cleanly, to other bytes: one changed, one missing, one extra.
  Bytes changed = target;
  changed[0] ^= 1;
  Bytes longer = target;
  longer.push_back(0);
  for (const Bytes& wrong : {changed, Bytes(target.begin(), target.end() - 1), longer}) {
    const RoundTrip check = VerifyDelta(source, wrong, patch);
    EXPECT_FALSE(check.rebuilt);
    EXPECT_EQ(check.problem, "does not rebuild the target");
  }

  // Cut short, the patch does not decode at all; the decoder's message is kept.
  const Bytes truncated(patch.begin(), patch.end() - 1);
  const RoundTrip check = VerifyDelta(source, target, truncated);
  EXPECT_FALSE(check.rebuilt);
  EXPECT_EQ(check.problem, "does not decode: eof in decode");
}

}  // namespace
}  // namespace tvl
