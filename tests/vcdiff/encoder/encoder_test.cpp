#include "vcdiff/encoder/encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/vcdiff/encoder/patch_reader.h"
#include "tests/vcdiff/encoder/test_data.h"
#include "vcdiff/adler32.h"
#include "vcdiff/decode_memory.h"

namespace tvl {
namespace {

using testing::Bytes;
using testing::InspectStream;
using testing::RandomBytes;
using testing::StreamInspection;

const EncodeOptions kNames{"chex3_v14.wad", "chex3_moddb.wad"};

Bytes Encode(const Bytes& source, const Bytes& target, const EncodeOptions& options = kNames) {
  Bytes patch;
  const EncodeResult result = EncodeDelta(source, target, options, patch);
  EXPECT_EQ(result.status, EncodeStatus::kOk) << result.message;
  return patch;
}

// Decodes the patch and checks every convention of the stored streams on it.
StreamInspection ExpectValidPatch(const Bytes& source, const Bytes& target, const Bytes& patch) {
  MemoryDecodeOptions options;
  options.pieces = {4096};
  const DecodeResult decoded = DecodeInMemory(patch, source, options);
  EXPECT_EQ(decoded.status, 0) << decoded.message;
  EXPECT_TRUE(decoded.output == target) << "round trip differs";

  const StreamInspection s = InspectStream(patch);
  EXPECT_EQ(s.error, "");
  EXPECT_EQ(s.header_indicator, 0x04);
  EXPECT_TRUE(s.shortest_integers);
  EXPECT_EQ(s.copies_leaving_segment, 0u);
  const size_t expected_windows =
      std::max<size_t>(1, (target.size() + kEncoderWindowSize - 1) / kEncoderWindowSize);
  EXPECT_EQ(s.windows.size(), expected_windows);
  EXPECT_EQ(decoded.window_sizes.size(), expected_windows);
  uint64_t offset = 0;
  for (const testing::InspectedWindow& w : s.windows) {
    EXPECT_EQ(w.indicator, 0x05);
    EXPECT_EQ(w.delta_indicator, 0x00);
    EXPECT_EQ(w.copy_length, source.size());
    EXPECT_EQ(w.copy_offset, 0u);
    EXPECT_EQ(w.target_length, std::min<uint64_t>(kEncoderWindowSize, target.size() - offset));
    EXPECT_EQ(w.checksum, Adler32(kAdler32Initial, target.data() + offset, w.target_length));
    offset += w.target_length;
  }
  return s;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST(EncoderTest, FileHeaderCarriesTheNames) {
  const Bytes patch = Encode(RandomBytes(100, 1), RandomBytes(100, 2));
  const std::string text = "chex3_v14.wad//chex3_moddb.wad/";
  const Bytes expected = Concat({{0xD6, 0xC3, 0xC4, 0x00, 0x04, uint8_t(text.size())},
                                 Bytes(text.begin(), text.end()),
                                 {0x05}});
  ASSERT_GE(patch.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), patch.begin()));
  EXPECT_EQ(InspectStream(patch).app_header, text);
}

TEST(EncoderTest, RefusesNamesTheHeaderCannotCarry) {
  const Bytes data = RandomBytes(10, 3);
  for (const EncodeOptions& options :
       {EncodeOptions{"", "b.wad"}, EncodeOptions{"a.wad", ""}, EncodeOptions{"dir/a.wad", "b"},
        EncodeOptions{"a\n", "b"}, EncodeOptions{"a", "\xC3\xA9.wad"}}) {
    Bytes patch = {1, 2, 3};
    EXPECT_EQ(EncodeDelta(data, data, options, patch).status, EncodeStatus::kBadName);
    EXPECT_TRUE(patch.empty());
  }
}

TEST(EncoderTest, EmptyAndTinyInputsRoundTrip) {
  const Bytes none;
  const Bytes one = {0x41};
  const Bytes three = {1, 2, 3};
  const Bytes cases[][2] = {{none, none},
                            {none, one},
                            {one, none},
                            {one, one},
                            {three, one},
                            {none, three},
                            {three, three},
                            {RandomBytes(7, 4), RandomBytes(7, 4)},
                            {none, Bytes(5, 0x41)},
                            {Bytes(9, 0), Bytes(40, 0)}};
  for (const auto& [source, target] : cases) {
    SCOPED_TRACE(::testing::Message() << source.size() << " -> " << target.size());
    ExpectValidPatch(source, target, Encode(source, target));
  }
}

TEST(EncoderTest, EmptyTargetIsOneEmptyWindow) {
  const Bytes source = RandomBytes(1000, 5);
  const Bytes patch = Encode(source, {});
  const StreamInspection s = ExpectValidPatch(source, {}, patch);
  ASSERT_EQ(s.windows.size(), 1u);
  EXPECT_EQ(s.windows[0].target_length, 0u);
  EXPECT_EQ(s.windows[0].checksum, 1u);  // Adler-32 of nothing
  EXPECT_EQ(s.opcodes, 0u);
}

TEST(EncoderTest, RandomAndUnrelatedDataRoundTrips) {
  const Bytes a = RandomBytes(100000, 6);
  const Bytes b = RandomBytes(70000, 7);
  ExpectValidPatch(a, b, Encode(a, b));
  ExpectValidPatch(a, a, Encode(a, a));
  // Identical files cost a few bytes per window, not a copy of the data.
  EXPECT_LT(Encode(a, a).size(), 100u);
}

TEST(EncoderTest, EditedWadRoundTripsSmall) {
  const Bytes source = testing::MakeWad(8, 300);
  const Bytes target = testing::EditWad(source, 9);
  const Bytes patch = Encode(source, target);
  ExpectValidPatch(source, target, patch);
  // Most lumps survive the edit, so the patch is a fraction of the target.
  EXPECT_LT(patch.size(), target.size() / 3);
  ExpectValidPatch(target, source, Encode(target, source));
}

TEST(EncoderTest, CopiesNeverRunFromTheSourceIntoTheWindow) {
  // In the address space the window follows the source, so one COPY of the whole source would
  // read on into the window's first bytes; it has to stop at the source's end instead.
  const Bytes source = RandomBytes(1000, 21);
  const Bytes target = Concat({source, source, source});
  const StreamInspection s = ExpectValidPatch(source, target, Encode(source, target));
  EXPECT_GT(s.source_copies, 0u);
}

TEST(EncoderTest, RepetitiveTargetUsesRunsAndOverlappingCopies) {
  // No useful source: everything must come from RUNs and copies within the window.
  const Bytes pattern = RandomBytes(5, 10);
  Bytes target = Concat({RandomBytes(50, 11), Bytes(3000, 0x7E), RandomBytes(20, 12)});
  for (int i = 0; i < 400; ++i) target.insert(target.end(), pattern.begin(), pattern.end());
  const Bytes source = RandomBytes(64, 13);
  const Bytes patch = Encode(source, target);
  const StreamInspection s = ExpectValidPatch(source, target, patch);
  EXPECT_GT(s.runs, 0u);
  EXPECT_GT(s.overlapping_copies, 0u);
  EXPECT_LT(patch.size(), 200u);
}

TEST(EncoderTest, MixedInputUsesEveryKindOfInstruction) {
  const Bytes source = testing::MakeWad(14, 200);
  Bytes target = testing::EditWad(source, 15);
  target.insert(target.end(), 500, 0xAB);
  const StreamInspection s = ExpectValidPatch(source, target, Encode(source, target));
  EXPECT_GT(s.adds, 0u);
  EXPECT_GT(s.runs, 0u);
  EXPECT_GT(s.source_copies, 0u);
  EXPECT_GT(s.target_copies, 0u);
  EXPECT_GT(s.add_copy_pairs, 0u);
  EXPECT_GT(s.copy_add_pairs, 0u);
}

TEST(EncoderTest, CraftedCopiesUseAllNineAddressModes) {
  // Source chunks copied far apart (VCD_SELF), just after recent copies (near slots), again at
  // the very same addresses in each third of the same cache (same modes), and repeated
  // window bytes (VCD_HERE). Fresh random bytes between chunks keep the copies apart.
  const Bytes source = RandomBytes(1 << 20, 16);
  const uint64_t firsts[] = {500000, 100000, 300000, 700000};
  const uint64_t repeated[] = {768 * 400 + 10, 768 * 500 + 300, 768 * 600 + 600};
  std::vector<uint64_t> order(std::begin(firsts), std::end(firsts));
  for (uint64_t a : firsts) order.push_back(a + 200);
  for (uint64_t a : repeated) order.push_back(a);
  for (uint64_t a : repeated) order.push_back(a);
  Bytes target;
  uint32_t seed = 100;
  for (uint64_t address : order) {
    const Bytes gap = RandomBytes(10, seed++);
    target.insert(target.end(), gap.begin(), gap.end());
    target.insert(target.end(), source.begin() + address, source.begin() + address + 40);
  }
  const Bytes fresh = RandomBytes(30, seed);
  target.insert(target.end(), fresh.begin(), fresh.end());
  target.insert(target.end(), fresh.begin(), fresh.end());

  const StreamInspection s = ExpectValidPatch(source, target, Encode(source, target));
  for (int mode = 0; mode < 9; ++mode) {
    EXPECT_GT(s.copies_by_mode[mode], 0u) << "mode " << mode;
  }
}

TEST(EncoderTest, LongTargetsSplitIntoFullWindows) {
  // Two full windows and a short one; the source feeds all of them, and each window also copies
  // from itself.
  const Bytes source = RandomBytes(3 << 20, 17);
  Bytes target;
  uint32_t seed = 200;
  while (target.size() < 2 * kEncoderWindowSize + 12345) {
    const size_t at = (seed * 7919u) % (source.size() - 70000);
    target.insert(target.end(), source.begin() + at, source.begin() + at + 60000);
    const Bytes fresh = RandomBytes(3000, seed++);
    target.insert(target.end(), fresh.begin(), fresh.end());
    target.insert(target.end(), fresh.begin(), fresh.end());
  }
  target.resize(2 * kEncoderWindowSize + 12345);
  const Bytes patch = Encode(source, target);
  const StreamInspection s = ExpectValidPatch(source, target, patch);
  EXPECT_GT(s.source_copies, 0u);
  EXPECT_GT(s.target_copies, 0u);
  EXPECT_LT(patch.size(), target.size() / 10);
}

TEST(EncoderTest, WindowBoundaryIsExact) {
  const Bytes source = RandomBytes(4096, 18);
  for (const size_t size : {kEncoderWindowSize, kEncoderWindowSize + 1}) {
    const Bytes target(size, 0x55);
    ExpectValidPatch(source, target, Encode(source, target));
  }
}

// A target read in pieces gives the patch the whole target gives, at every window boundary;
// a read that fails anywhere leaves no patch.
TEST(EncoderTest, ReadTargetGivesTheSamePatch) {
  const Bytes source = testing::MakeWad(23, 60);
  Bytes target = testing::EditWad(source, 24);
  // A run carries the target one byte into a second window: cheap to match, and cut by the
  // window's end.
  target.resize(kEncoderWindowSize + 1, 0x55);
  const std::span<const uint8_t> whole(target);
  for (const uint64_t size :
       {uint64_t{0}, uint64_t{4097}, kEncoderWindowSize, uint64_t{target.size()}}) {
    SCOPED_TRACE(size);
    const std::span<const uint8_t> part = whole.first(static_cast<size_t>(size));
    testing::PiecewiseTarget read{part, 4093};
    Bytes patch;
    const EncodeResult result = EncodeDelta(source, read.reader(), kNames, patch);
    EXPECT_EQ(result.status, EncodeStatus::kOk);
    EXPECT_EQ(result.windows,
              std::max<uint64_t>(1, (size + kEncoderWindowSize - 1) / kEncoderWindowSize));
    EXPECT_TRUE(patch == Encode(source, Bytes(part.begin(), part.end())));
  }
  for (const uint64_t fail_at : {uint64_t{0}, uint64_t{5000}, kEncoderWindowSize}) {
    SCOPED_TRACE(fail_at);
    testing::PiecewiseTarget read{whole, 4093, fail_at};
    Bytes patch = {1};
    EXPECT_EQ(EncodeDelta(source, read.reader(), kNames, patch).status,
              EncodeStatus::kTargetUnreadable);
    EXPECT_TRUE(patch.empty());
  }
}

TEST(EncoderTest, OutputDependsOnlyOnTheInputs) {
  const Bytes source = testing::MakeWad(19, 100);
  const Bytes target = testing::EditWad(source, 20);
  EXPECT_TRUE(Encode(source, target) == Encode(source, target));
}

}  // namespace
}  // namespace tvl
