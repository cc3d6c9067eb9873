// Window execution: instructions, addresses, copies, end-of-window checks and large windows.
#include <random>

#include "gtest/gtest.h"
#include "tests/vcdiff/decode_helpers.h"
#include "tests/vcdiff/vcdiff_writer.h"
#include "vcdiff/decoder.h"

namespace tvl {
namespace {

using testing::Bytes;
using testing::Decode;
using testing::Text;
using testing::WindowBuilder;

Bytes Patch(const std::vector<WindowBuilder>& windows) {
  return testing::EncodeStream(windows, testing::kAppHeader);
}

DecodeResult DecodeOne(const WindowBuilder& window, const Bytes& source = {}, uint64_t block = 16) {
  MemoryDecodeOptions options;
  options.block_size = block;
  return Decode(Patch({window}), source, options);
}

TEST(ExecuteWindow, RunAddAndOverlappingTargetCopies) {
  WindowBuilder run;
  run.Run(5, 0x41);
  DecodeResult result = DecodeOne(run);
  EXPECT_EQ(result.output, Text("AAAAA"));

  WindowBuilder repeat;  // one ADD byte, then a COPY from the window's first byte
  repeat.Add({0x42});
  repeat.Copy(0, 10, 0);
  result = DecodeOne(repeat);
  EXPECT_EQ(result.output, Bytes(11, 0x42));

  WindowBuilder pattern;  // period 3, longer than twice the distance
  pattern.Add(Text("abc"));
  pattern.Copy(0, 14, 0);
  pattern.Copy(5, 4, 1);  // VCD_HERE, non-overlapping
  EXPECT_EQ(DecodeOne(pattern).output, Text("abcabcabcabcabcab"
                                            "cabc"));
}

TEST(ExecuteWindow, ExplicitAndTableSizes) {
  // Opcode 19 reads its size from the instructions and its address from the addresses; opcode
  // 20 (COPY mode 0 size 4) only the address.
  WindowBuilder window;
  window.Add(Text("0123456789"), true);
  window.Copy(2, 5, 0, true);
  window.Copy(1, 4, 0);
  EXPECT_EQ(window.instructions, (Bytes{1, 10, 19, 5, 20}));
  EXPECT_EQ(window.addresses, (Bytes{2, 1}));
  EXPECT_EQ(DecodeOne(window).output, Text("0123456789234561234"));
}

TEST(ExecuteWindow, CacheStartsEmptyInEachWindow) {
  WindowBuilder first;
  first.Add(Text("abcdefgh"));
  first.Copy(6, 4, 0);  // near slot 0 = 6 in this window only
  WindowBuilder second;
  second.Add(Text("ABCDEFGH"));
  second.Copy(3, 4, 2);  // near slot 0 is 0 again: value 3
  ASSERT_EQ(second.addresses, Bytes{3});
  MemoryDecodeOptions options;
  const DecodeResult result = Decode(Patch({first, second}), {}, options);
  EXPECT_EQ(result.output, Text("abcdefghghghABCDEFGHDEFG"));
}

TEST(ExecuteWindow, SourceCopiesAcrossBlocks) {
  Bytes source(100);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i);
  WindowBuilder window(&source, 30, 70);  // segment from block 1 (offset 14) to the end
  window.Copy(0, 40, 0);                  // blocks 1, 2, 3, 4
  window.Copy(66, 4, 0);                  // last 4 bytes, in the short block 6
  DecodeResult result = DecodeOne(window, source);
  EXPECT_EQ(result.output, window.expected);
  EXPECT_EQ(result.blocks, (std::vector<uint64_t>{1, 2, 3, 4, 6}));

  WindowBuilder past_end(&source, 90, 20);  // declared past the end; the copy reaches it
  past_end.Copy(0, 11, 0);
  result = DecodeOne(past_end, source);
  EXPECT_EQ(result.status, kStatusBadData);
  EXPECT_EQ(result.message, "source file too short");

  // Block size 4 KiB, one block and a short one: the applier's case of a small input file.
  WindowBuilder small(&source, 0, 200);
  small.Copy(50, 50, 0);
  EXPECT_EQ(DecodeOne(small, source, 4096).output, Bytes(source.begin() + 50, source.end()));
}

struct Broken {
  const char* message;
  Bytes instructions, data, addresses;
  size_t target_length;
};

TEST(ExecuteWindow, RefusesInconsistentWindows) {
  const Bytes source(64, 7);  // segment: source bytes 0 to 31
  const Bytes overflow = {1, 0x82, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00};
  const Bytes huge_add = {1, 0x81, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00};
  const Broken cases[] = {
      {"size too large", {20}, {}, {30}, 4},     // COPY crosses the segment's end
      {"address too large", {20}, {}, {32}, 4},  // COPY of the window's own next byte
      {"size too large", {3}, {1, 2}, {}, 1},    // ADD ends beyond the window
      {"size too large", huge_add, {}, {}, 0},   // ADD of 2^63 bytes
      {"wrong window length", {3}, {1, 2}, {}, 3},
      {"extra data section", {3}, {1, 2, 3}, {}, 2},
      {"extra address section", {3}, {1, 2}, {0}, 2},
      {"data underflow", {3}, {1}, {}, 2},    // ADD 2 with one data byte
      {"data underflow", {0, 4}, {}, {}, 4},  // RUN 4 with no data byte
      {"end-of-input in read_integer", {1}, {}, {}, 1},
      {"end-of-input in read_integer", {20}, {}, {}, 4},  // COPY without an address
      {"address underflow", {120}, {}, {}, 8},            // same-mode COPY without its byte
      {"overflow in read_intger", overflow, {}, {}, 1},
  };
  for (const Broken& c : cases) {
    WindowBuilder window(&source, 0, 32);
    window.instructions = c.instructions;
    window.data = c.data;
    window.addresses = c.addresses;
    window.expected.resize(c.target_length);
    // Through the queue, and in place with the whole segment in one block: both fail alike.
    for (uint64_t block : {16, 64}) {
      const DecodeResult result = DecodeOne(window, source, block);
      EXPECT_EQ(result.status, kStatusBadData) << c.message << " " << block;
      EXPECT_EQ(result.message, c.message) << block;
    }
  }

  WindowBuilder window;
  window.Add(Text("abc"));
  window.checksum_skew = 1;
  EXPECT_EQ(Decode(Patch({window}), {}).message, "target window checksum mismatch");
}

// Instructions are parsed ahead of the one that runs. A failure found ahead still waits its
// turn: the first fault in the window's order is the one reported.
TEST(ExecuteWindow, FailuresFoundAheadWaitTheirTurn) {
  const Bytes source(64, 7);
  WindowBuilder window(&source, 0, 32);
  window.instructions = {3};                                     // ADD 2, with one data byte in all
  window.instructions.insert(window.instructions.end(), 40, 2);  // ADD 1, forty times
  window.instructions.push_back(20);                             // COPY 4 from beyond the window
  window.data = {1};
  window.addresses = {0x81, 0x00};  // address 128
  window.expected.resize(46);
  // Blocks of 16 bytes run the window through the queue; one of 64 holds the whole segment.
  for (uint64_t block : {16, 64}) {
    EXPECT_EQ(DecodeOne(window, source, block).message, "data underflow") << block;
  }

  window.instructions.erase(window.instructions.begin());  // now the COPY is the first fault
  window.data.assign(40, 1);
  window.expected.resize(44);
  for (uint64_t block : {16, 64}) {
    EXPECT_EQ(DecodeOne(window, source, block).message, "address too large") << block;
  }
}

// Empty halves take their data byte and produce nothing, even in an empty window, which has no
// buffer to produce it in.
TEST(ExecuteWindow, EmptyHalves) {
  for (bool with_bytes : {false, true}) {
    WindowBuilder window;
    window.indicator = 0x04;
    window.Add({}, true);
    window.Run(0, 'x');
    if (with_bytes) window.Add(Text("ab"));
    const DecodeResult result = DecodeOne(window);
    EXPECT_EQ(result.status, 0) << result.message;
    EXPECT_EQ(result.output, window.expected);
  }
}

// Many short operations, most of them copies from all over the source. With blocks of 16 bytes
// the decoder stops for a block in the middle of its parsed-ahead instructions, time after time,
// and goes on exactly. With the whole source in one block they run in batches parsed ahead, and
// copies of output just made, in the batch before or their own, read it only once it is there.
TEST(ExecuteWindow, ParsedAheadCopiesResumeAcrossBlockRequests) {
  std::mt19937 random(5);
  Bytes source(4096);
  for (uint8_t& byte : source) byte = static_cast<uint8_t>(random());
  WindowBuilder window(&source, 0, source.size());
  for (int i = 0; i < 600; ++i) {
    const uint64_t size = 1 + random() % 40;
    const uint64_t made = window.expected.size();
    if (i % 5 == 0) {
      window.Add(Bytes(size, static_cast<uint8_t>(i)));
    } else if (i % 5 == 1) {
      window.Run(size, static_cast<uint8_t>(i));
    } else if (i % 5 == 2 && made > 0) {
      window.CopyTarget(made - 1 - random() % std::min<uint64_t>(made, 50), size);  // recent
    } else {
      window.Copy(random() % (source.size() - size), size, 0, true);
    }
  }
  for (uint64_t block : {16, 4096}) {
    const DecodeResult result = DecodeOne(window, source, block);
    EXPECT_EQ(result.status, 0) << result.message;
    EXPECT_EQ(result.output, window.expected) << "block " << block;
  }
}

// A caller that moves output_size while a window waits for a block breaks the protocol; the
// window then fails instead of writing past its buffer or copying bytes it hasn't made.
TEST(ExecuteWindow, OutputMovedInTheMiddleOfAWindow) {
  Bytes source(32);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i);
  WindowBuilder window(&source, 0, source.size());
  window.Copy(0, 20, 0);     // runs on into block 1, which has to be asked for
  window.CopyTarget(16, 4);  // the bytes that block brought
  const Bytes patch = Patch({window});
  struct Case {
    uint64_t moved_to;  // in window lengths: 0 at its start, 1 at its end
    const char* message;
  };
  for (const Case c : {Case{0, "address too large"}, Case{1, "overflow while decoding"}}) {
    DecodeStream stream;
    ConfigureDecodeStream(&stream, nullptr);
    DecodeSource blocks{};
    blocks.block_size = 16;
    SetDecodeSource(&stream, &blocks);
    stream.input_next = patch.data();
    stream.input_size = patch.size();
    bool moved = false;
    int status = 0;
    for (;;) {
      status = DecodeInput(&stream);
      if (status != kStatusNeedBlock && status != kStatusGotHeader) break;
      if (status == kStatusNeedBlock) {
        if (blocks.block_data != nullptr && !moved) {
          stream.output_size = c.moved_to * stream.output_capacity;
          moved = true;
        }
        blocks.block_number = blocks.requested_block;
        blocks.block_data = source.data() + 16 * blocks.block_number;
        blocks.block_bytes = 16;
      }
    }
    EXPECT_TRUE(moved);
    EXPECT_EQ(status, kStatusBadData) << c.message;
    EXPECT_STREQ(stream.message, c.message);
    FreeDecodeStream(&stream);
  }
}

TEST(ExecuteWindow, ChecksumOnlyWhenPresent) {
  WindowBuilder unchecked;
  unchecked.indicator = 0;
  unchecked.Add(Text("abc"));
  unchecked.checksum_skew = 1;  // no checksum bytes are written at all
  EXPECT_EQ(Decode(Patch({unchecked}), {}).output, Text("abc"));

  WindowBuilder empty;  // zero bytes; the stored checksum must be 1
  empty.indicator = 0x04;
  const DecodeResult result = DecodeOne(empty);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.window_sizes, std::vector<uint64_t>{0});
  empty.checksum_skew = 1;
  EXPECT_EQ(Decode(Patch({empty}), {}).message, "target window checksum mismatch");
}

// 8 MiB windows rebuilt mostly from a 20 MB source, with segments longer than the window that
// run past the end of the source, read in 4 KiB and 64 KiB blocks and in 4 KiB pieces.
TEST(ExecuteWindow, LargeMultiWindowStream) {
  std::mt19937 random(11);
  Bytes source(20 << 20);
  for (uint8_t& byte : source) byte = static_cast<uint8_t>(random() >> 7);
  std::vector<WindowBuilder> windows;
  const uint64_t kWindow = 8 << 20;
  for (int w = 0; w < 3; ++w) {
    const uint64_t copy_offset = w * 6000000 + 12345;
    const uint64_t copy_length = source.size() - copy_offset + 1000000;  // past the end
    WindowBuilder window(&source, copy_offset, copy_length);
    const uint64_t target = w < 2 ? kWindow : 3000001;
    while (window.expected.size() < target) {
      const uint64_t left = target - window.expected.size();
      const uint64_t size = std::min<uint64_t>(left, 1 + random() % 70000);
      const uint64_t address = random() % (source.size() - copy_offset - size);
      switch (random() % 8) {
        case 0:
          window.Add(Bytes(std::min<uint64_t>(size, 40), static_cast<uint8_t>(size)));
          break;
        case 1:
          window.Run(size, static_cast<uint8_t>(address));
          break;
        case 2:
          if (window.expected.size() > 10) {
            window.Copy(window.here() - 1 - random() % 10, size, 1);  // overlapping
            break;
          }
          [[fallthrough]];
        default:
          window.Copy(address, size, 0);
      }
    }
    windows.push_back(std::move(window));
  }
  const Bytes patch = Patch(windows), expected = testing::ExpectedTarget(windows);
  for (uint64_t block : {4096, 65536}) {
    MemoryDecodeOptions options;
    options.block_size = block;
    options.pieces = {4096};
    const DecodeResult result = Decode(patch, source, options);
    EXPECT_EQ(result.status, 0) << result.message;
    EXPECT_EQ(result.window_sizes, (std::vector<uint64_t>{kWindow, kWindow, 3000001}));
    EXPECT_TRUE(result.output == expected);
  }
}

}  // namespace
}  // namespace tvl
