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
  EXPECT_FALSE(check.target_unreadable);
}

// Read from a file, the target may fail anywhere, the byte past its end included; that is
// the file's fault, not the patch's.
TEST(VerifyDelta, ReadTargetThatFailsIsNotAWrongPatch) {
  const Bytes source = testing::RandomBytes(20000, 32);
  const Bytes target = testing::RandomBytes(9000, 33);
  Bytes patch;
  ASSERT_EQ(EncodeDelta(source, target, EncodeOptions{"a.wad", "b.wad"}, patch).status,
            EncodeStatus::kOk);
  testing::PiecewiseTarget whole{target, 1000};
  EXPECT_TRUE(VerifyDelta(source, whole.reader(), patch).rebuilt);
  Bytes longer = target;  // fails only when read past the target's end
  longer.push_back(0);
  for (const uint64_t fail_at : {uint64_t{0}, uint64_t{4000}, uint64_t{9000}}) {
    SCOPED_TRACE(fail_at);
    testing::PiecewiseTarget read{longer, 1000, fail_at};
    const RoundTrip check = VerifyDelta(source, read.reader(), patch);
    EXPECT_FALSE(check.rebuilt);
    EXPECT_TRUE(check.target_unreadable);
    EXPECT_EQ(check.problem, "cannot read the target");
  }
}

}  // namespace
}  // namespace tvl
