// Damaged streams: every byte of valid streams mutated, and the cases the fuzzer found.
#include "gtest/gtest.h"
#include "tests/vcdiff/decode_helpers.h"
#include "tests/vcdiff/vcdiff_writer.h"
#include "vcdiff/decoder.h"

namespace tvl {
namespace {

using testing::Bytes;

// No crash, no leak, no read outside the input, blocks or buffers (under the sanitizers), and
// every run ends in a status with a message, the same whichever way its windows run. Every window
// of the sample carries an Adler-32, so damage the decoder accepts (the application header's bytes,
// say) must leave the output exactly as it was.
TEST(DecodeRobustness, EveryByteMutated) {
  const testing::Sample sample = testing::RichSample();
  int accepted = 0;
  for (size_t at = 0; at < sample.patch.size(); ++at) {
    for (uint8_t change : {0x01, 0x80, 0xFF}) {
      Bytes patch = sample.patch;
      patch[at] ^= change;
      for (size_t piece : {size_t{1}, patch.size()}) {
        MemoryDecodeOptions options;
        options.block_size = 16;
        options.pieces = {piece};
        const DecodeResult result = testing::Decode(patch, sample.source, options);
        EXPECT_FALSE(result.message.empty()) << at;
        if (result.status == 0) {
          EXPECT_TRUE(result.output == sample.expected) << "byte " << at << " ^ " << int{change};
          ++accepted;
        }
        // With the whole source in one block, the first window's copies are served in place and
        // its instructions run the other way: damage must end that way exactly as this one.
        options.block_size = 128;
        const DecodeResult in_place = testing::Decode(patch, sample.source, options);
        EXPECT_EQ(in_place.status, result.status) << "byte " << at << " ^ " << int{change};
        EXPECT_EQ(in_place.message, result.message) << "byte " << at << " ^ " << int{change};
        EXPECT_TRUE(in_place.output == result.output) << "byte " << at << " ^ " << int{change};
      }
    }
  }
  // The 13 bytes of the application header take any value: the check above has work to do.
  EXPECT_GE(accepted, 13 * 3 * 2);
}

}  // namespace
}  // namespace tvl
