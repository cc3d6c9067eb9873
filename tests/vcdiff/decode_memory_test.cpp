// The in-memory driver's own choices: piece sizes, buffers, sinks and configuration.
#include "vcdiff/decode_memory.h"

#include <vector>

#include "gtest/gtest.h"
#include "tests/vcdiff/decode_helpers.h"

namespace tvl {
namespace {

using Bytes = std::vector<uint8_t>;

MemoryDecodeOptions SampleOptions() {
  MemoryDecodeOptions options;
  options.block_size = 16;
  options.record_events = true;
  return options;
}

TEST(DecodeInMemory, PieceListsReachTheEnd) {
  const testing::Sample sample = testing::RichSample();
  const std::vector<std::vector<size_t>> lists = {{},           {0},    {1},
                                                  {0, 0, 5, 0}, {3, 0}, {sample.patch.size() + 9}};
  for (const std::vector<size_t>& pieces : lists) {
    MemoryDecodeOptions options = SampleOptions();
    options.pieces = pieces;
    const DecodeResult result = DecodeInMemory(sample.patch, sample.source, options);
    EXPECT_EQ(result.status, 0) << pieces.size() << ": " << result.message;
    EXPECT_EQ(result.output, sample.expected) << pieces.size();
    EXPECT_EQ(result.input_total, sample.patch.size());
  }
  // An empty patch is refused by the stream, whatever drives it.
  EXPECT_EQ(DecodeInMemory({}, {}).status, kStatusBadData);
}

TEST(DecodeInMemory, InPlaceIsolatedAndSinkAgree) {
  const testing::Sample sample = testing::RichSample();
  MemoryDecodeOptions options = SampleOptions();
  options.pieces = {7};
  const DecodeResult in_place = DecodeInMemory(sample.patch, sample.source, options);
  options.isolated_buffers = true;
  const DecodeResult isolated = DecodeInMemory(sample.patch, sample.source, options);
  EXPECT_EQ(in_place.output, sample.expected);
  EXPECT_EQ(isolated.output, sample.expected);
  EXPECT_EQ(in_place.statuses, isolated.statuses);
  EXPECT_EQ(in_place.blocks, isolated.blocks);

  std::vector<Bytes> windows;
  options.sink = [](void* opaque, const uint8_t* data, uint64_t size) {
    static_cast<std::vector<Bytes>*>(opaque)->emplace_back(data, data + size);
  };
  options.sink_opaque = &windows;
  const DecodeResult sunk = DecodeInMemory(sample.patch, sample.source, options);
  EXPECT_EQ(sunk.status, 0);
  EXPECT_TRUE(sunk.output.empty());
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(sunk.window_sizes, in_place.window_sizes);
  Bytes joined;
  for (const Bytes& window : windows) joined.insert(joined.end(), window.begin(), window.end());
  EXPECT_EQ(joined, sample.expected);
}

TEST(DecodeInMemory, RefusedConfigurationIsTheResult) {
  const testing::Sample sample = testing::RichSample();
  DecodeConfig config;
  config.sprevsz = 3;
  MemoryDecodeOptions options = SampleOptions();
  options.config = &config;
  const DecodeResult result = DecodeInMemory(sample.patch, sample.source, options);
  EXPECT_EQ(result.status, kStatusFailed);
  EXPECT_EQ(result.message, "sprevsz is required to be a power of two");
  EXPECT_TRUE(result.output.empty());
  EXPECT_EQ(result.input_total, 0u);
}

}  // namespace
}  // namespace tvl
