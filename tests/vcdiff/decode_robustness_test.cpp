// Damaged streams: every byte of valid streams mutated, and the cases the fuzzer found.
#include "gtest/gtest.h"
#include "tests/vcdiff/decode_driver.h"
#include "tests/vcdiff/vcdiff_writer.h"
#include "vcdiff/decoder.h"

namespace tvl {
namespace {

using test::Bytes;

// No crash, no leak, no read outside the input, blocks or buffers (under the sanitizers), and
// every run ends in a status with a message.
TEST(DecodeRobustness, EveryByteMutated) {
  const test::Sample sample = test::RichSample();
  for (size_t at = 0; at < sample.patch.size(); ++at) {
    for (uint8_t change : {0x01, 0x80, 0xFF}) {
      Bytes patch = sample.patch;
      patch[at] ^= change;
      for (size_t piece : {size_t{1}, patch.size()}) {
        test::DriverOptions options;
        options.block_size = 16;
        options.pieces = {piece};
        const test::DecodeResult result = test::Decode(patch, sample.source, options);
        EXPECT_FALSE(result.message.empty()) << at;
        if (result.status == kStatusNeedInput && result.close_status == 0) {
          // Accepted damage must still give windows of the announced sizes.
          uint64_t total = 0;
          for (uint64_t size : result.window_sizes) total += size;
          EXPECT_EQ(total, result.output.size());
        }
      }
    }
  }
}

}  // namespace
}  // namespace tvl
