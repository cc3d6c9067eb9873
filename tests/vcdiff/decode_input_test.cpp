// The input state machine: file header, window headers, section intake and the event sequence.
#include <cstdlib>
#include <string>

#include "gtest/gtest.h"
#include "tests/vcdiff/decode_helpers.h"
#include "tests/vcdiff/vcdiff_writer.h"
#include "vcdiff/decoder.h"

namespace tvl {
namespace {

using testing::Bytes;
using testing::Decode;

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A header without application data and a window with a raw, hand-written header.
Bytes RawWindow(const Bytes& header) { return Join(testing::FileHeader(0), header); }
// The magic and version 0, then the given header bytes.
Bytes Header(const Bytes& rest) { return Join({0xD6, 0xC3, 0xC4, 0}, rest); }

struct Failure {
  const char* name;
  Bytes patch;
  int status;
  const char* message;
};

TEST(DecodeInput, RefusesMalformedHeaders) {
  const uint8_t ff = 0xFF;
  const char* const length = "incorrect encoding length (redundent)";
  const Failure cases[] = {
      {"version",
       {0xD6, 0xC3, 0xC4, 0x01},
       kStatusBadData,
       "VCDIFF input version > 0 is not supported"},
      {"magic", {0xD6, 0xC3, 0xC5, 0x00}, kStatusBadData, "not a VCDIFF input"},
      {"header bits", Header({0x08}), kStatusBadData, "unrecognized header indicator bits set"},
      {"djw", Header({1, 1}), kStatusFailed,
       "unavailable secondary compressor: DJW Static Huffman"},
      {"lzma", Header({1, 2}), kStatusFailed, "unavailable secondary compressor: LZMA"},
      {"fgk", Header({1, 16}), kStatusFailed,
       "unavailable secondary compressor: FGK Adaptive Huffman"},
      {"unknown id", Header({1, 3}), kStatusBadData, "unknown secondary compressor ID"},
      {"table size", Header({2, 2}), kStatusOutOfMemory, "invalid code table size"},
      {"code table", Header({2, 3, 4, 3, 0xAA}), kStatusUnimplemented,
       "VCD_CODETABLE support was removed"},
      {"appheader", Header({4, 0x81, ff, ff, ff, ff, ff, ff, ff, ff, 0x7F}), kStatusBadData,
       "exceptional appheader size"},
      {"varint", Header({4, 0x82, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0}),
       kStatusBadData, "overflow in decode_integer"},
      {"window bits", RawWindow({0x08}), kStatusBadData, "unrecognized window indicator bits set"},
      {"segment overflow", RawWindow({1, 0x81, ff, ff, ff, ff, ff, ff, ff, ff, 0x7F, 1}),
       kStatusBadData, "decoder copy window overflows a file offset"},
      {"target segment", RawWindow({2, 1, 0}), kStatusBadData, "VCD_TARGET window out of bounds"},
      {"target overflow", RawWindow({1, 0x81, ff, ff, ff, ff, ff, ff, ff, ff, 0x7F, 0, 9, 1}),
       kStatusBadData, "decoder target window overflows a usize_t"},
      {"hard window", RawWindow({0, 9, 0xA0, 0x80, 0x80, 0x01}), kStatusBadData,
       "hard window size exceeded"},
      {"delta bits", RawWindow({0, 4, 0, 8}), kStatusBadData,
       "unrecognized delta indicator bits set"},
      {"delta", RawWindow({0, 4, 0, 1}), kStatusBadData, "invalid delta indicator bits set"},
      {"appheader bound", Header({4, 0xC0, 0x80, 0x01}), kStatusBadData,
       "exceptional appheader size"},
      // A window of one byte without source needs at most 45 + 3 bytes of encoding.
      {"encoding beyond target", RawWindow({0, 49, 1}), kStatusBadData, length},
      {"data beyond encoding", RawWindow({0, 14, 0, 0, 0x81, ff, ff, ff, ff, ff, ff, ff, ff, 0x7F}),
       kStatusBadData, length},
      {"instructions beyond encoding", RawWindow({0, 20, 4, 0, 10, 11}), kStatusBadData, length},
      {"addresses beyond encoding", RawWindow({0, 20, 4, 0, 5, 5, 11}), kStatusBadData, length},
  };
  for (const Failure& c : cases) {
    SCOPED_TRACE(c.name);
    const DecodeResult result = Decode(c.patch, {});
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.message, c.message);
    // Every failure is found at the last byte given: nothing is read ahead.
    if (std::string(c.name) != "code table") {
      EXPECT_EQ(result.input_total, c.patch.size());
    }
  }
}

// Refuses the first allocation it is asked for, then gives memory.
void* RefuseFirst(void* opaque, size_t count, size_t size) {
  bool* refused = static_cast<bool*>(opaque);
  if (!*refused) {
    *refused = true;
    return nullptr;
  }
  return std::calloc(count, size);
}

// A failure ends the decoding: every later call gives the same status and text and reads
// nothing, even where what follows would decode, where the state stands past the failed check,
// once memory is there again, and after close has left its own text.
TEST(DecodeInput, FailureSticks) {
  testing::WindowBuilder good;
  good.indicator = 0x04;
  good.Add(testing::Text("abc"));
  testing::WindowBuilder bad_sum = good;
  bad_sum.checksum_skew = 1;
  const Bytes after = good.Encode();
  struct Case {
    const char* name;
    Bytes patch;
    bool refuse_first_allocation;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"window bits", Join(RawWindow({0x08}), after), false, kStatusBadData,
       "unrecognized window indicator bits set"},
      {"checksum", Join(Join(testing::FileHeader(), bad_sum.Encode()), after), false,
       kStatusBadData, "target window checksum mismatch"},
      {"memory", Join(testing::FileHeader(), after), true, kStatusOutOfMemory, "out of memory"},
  };
  for (const Case& c : cases) {
    bool refused = !c.refuse_first_allocation;
    DecodeConfig config;
    config.alloc = RefuseFirst;
    config.release = [](void*, void* pointer) { std::free(pointer); };
    config.alloc_opaque = &refused;
    DecodeStream stream;
    ConfigureDecodeStream(&stream, &config);
    stream.input_next = c.patch.data();
    stream.input_size = c.patch.size();
    int status = kStatusGotHeader;
    while (status == kStatusGotHeader) status = DecodeInput(&stream);
    ASSERT_EQ(status, c.status) << c.name;
    EXPECT_STREQ(stream.message, c.message) << c.name;
    const uint64_t taken = stream.input_total;
    const int state = stream.decode_state;
    ASSERT_GT(stream.input_size, 0u) << c.name;
    CloseDecodeStream(&stream);
    for (int call = 0; call < 2; ++call) {
      EXPECT_EQ(DecodeInput(&stream), c.status) << c.name;
      EXPECT_STREQ(stream.message, c.message) << c.name;
      EXPECT_EQ(stream.input_total, taken) << c.name;
      EXPECT_EQ(stream.decode_state, state) << c.name;
    }
    FreeDecodeStream(&stream);
  }
}

// The record is the caller's: a state it wrote out of range is refused, not run.
TEST(DecodeInput, StateOutOfRange) {
  DecodeStream stream;
  ConfigureDecodeStream(&stream, nullptr);
  stream.decode_state = kStateFinish + 1;
  EXPECT_EQ(DecodeInput(&stream), kStatusBadData);
  EXPECT_STREQ(stream.message, "invalid state");
  FreeDecodeStream(&stream);
}

// No input consumes nothing, and a patch that never began is no patch when the stream closes.
TEST(DecodeInput, NoInputConsumesNothing) {
  const DecodeResult result = Decode({}, {});
  EXPECT_EQ(result.statuses, std::vector<int>{kStatusNeedInput});
  EXPECT_EQ(result.final_state, kStateMagic);
  EXPECT_EQ(result.input_total, 0u);
  EXPECT_EQ(result.close_status, kStatusBadData);
  EXPECT_EQ(result.message, "eof in decode");
}

TEST(DecodeInput, ApplicationHeaderIsKept) {
  DecodeStream stream;
  ConfigureDecodeStream(&stream, nullptr);
  // Length 5 written with two redundant leading bytes, then "abcde".
  const Bytes patch = {0xD6, 0xC3, 0xC4, 0, 4, 0x80, 0x80, 0x05, 'a', 'b', 'c', 'd', 'e'};
  stream.input_next = patch.data();
  stream.input_size = patch.size();
  EXPECT_EQ(DecodeInput(&stream), kStatusNeedInput);
  EXPECT_EQ(stream.app_header_length, 5u);
  EXPECT_STREQ(reinterpret_cast<const char*>(stream.app_header), "abcde");
  EXPECT_EQ(stream.decode_state, kStateWindowIndicator);
  FreeDecodeStream(&stream);

  ConfigureDecodeStream(&stream, nullptr);
  const Bytes empty = {0xD6, 0xC3, 0xC4, 0, 4, 0};
  stream.input_next = empty.data();
  stream.input_size = empty.size();
  EXPECT_EQ(DecodeInput(&stream), kStatusNeedInput);
  ASSERT_NE(stream.app_header, nullptr);
  EXPECT_EQ(stream.app_header[0], 0);
  FreeDecodeStream(&stream);
}

TEST(DecodeInput, WindowLimits) {
  // Exactly 64 MiB is accepted, one byte more is not.
  testing::WindowBuilder window;
  window.indicator = 0x04;
  window.Run(67108864, 0x5A);
  DecodeResult result = Decode(Join(testing::FileHeader(), window.Encode()), {});
  EXPECT_EQ(result.status, 0) << result.message;
  ASSERT_EQ(result.output.size(), 67108864u);
  EXPECT_EQ(result.output.back(), 0x5A);

  testing::WindowBuilder larger;
  larger.indicator = 0;
  larger.Run(67108865, 0);
  result = Decode(Join(testing::FileHeader(), larger.Encode()), {});
  EXPECT_EQ(result.message, "hard window size exceeded");
}

// The bounds on declared lengths refuse nothing a real window can use.
TEST(DecodeInput, DeclaredLengthsUpToTheirBounds) {
  DecodeResult result = Decode(RawWindow({0, 48, 1}), {});
  EXPECT_EQ(result.statuses.back(), kStatusNeedInput) << result.message;

  Bytes patch = {0xD6, 0xC3, 0xC4, 0, 4};
  testing::PutVarint(patch, kMaxAppHeaderLength);
  patch.resize(patch.size() + kMaxAppHeaderLength, 'h');
  result = Decode(patch, {});
  EXPECT_EQ(result.status, 0) << result.message;
  EXPECT_EQ(result.final_state, kStateWindowIndicator);

  // The densest useful window: one-byte COPYs with explicit sizes and 10-byte addresses, 12 bytes
  // of sections per target byte.
  const Bytes source;
  const uint64_t copy_length = uint64_t{1} << 63;
  testing::WindowBuilder window(&source, 0, copy_length);
  window.Add({'x'});
  for (int i = 0; i < 1000; ++i) window.Copy(copy_length, 1, 0, true);
  ASSERT_EQ(window.data.size() + window.instructions.size() + window.addresses.size(), 12002u);
  result = Decode(Join(testing::FileHeader(), window.Encode()), source);
  EXPECT_EQ(result.status, 0) << result.message;
  EXPECT_EQ(result.output, Bytes(1001, 'x'));
}

// Sections longer than one growth step, given in small pieces, are gathered intact, also into a
// copy that an earlier window left too small.
TEST(DecodeInput, LongSectionsInSmallPieces) {
  Bytes patch = testing::FileHeader();
  Bytes expected;
  for (uint64_t size : {20000, 60000}) {
    testing::WindowBuilder window;
    window.indicator = 0x04;
    Bytes bytes(size);
    for (uint64_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + i / 251);
    window.Add(bytes);
    window.Copy(10, 30000, 0);
    patch = Join(patch, window.Encode());
    expected = Join(expected, window.expected);
  }
  for (size_t piece : {size_t{1}, size_t{4096}, size_t{16383}, size_t{16385}}) {
    MemoryDecodeOptions options;
    options.pieces = {piece};
    const DecodeResult result = Decode(patch, {}, options);
    EXPECT_EQ(result.status, 0) << piece << ": " << result.message;
    EXPECT_TRUE(result.output == expected) << piece;
  }
}

TEST(DecodeInput, EncodingLengthMustBeExact) {
  testing::WindowBuilder window;
  window.Add(testing::Text("abc"));
  for (int skew : {-1, 1}) {
    const Bytes patch = Join(testing::FileHeader(), window.Encode(skew));
    const DecodeResult result = Decode(patch, {});
    EXPECT_EQ(result.message, "incorrect encoding length (redundent)");
    // Found before any section byte is taken.
    EXPECT_EQ(result.input_total, patch.size() - 4);
  }
}

TEST(DecodeInput, RefusedWindowsTakeTheirSectionsFirst) {
  testing::WindowBuilder target;  // VCD_SOURCE | VCD_TARGET: no segment fields
  target.indicator = 0x03;
  target.Add(testing::Text("abc"));
  Bytes patch = Join(testing::FileHeader(), target.Encode());
  DecodeResult result = Decode(patch, {});
  EXPECT_EQ(result.status, kStatusUnimplemented);
  EXPECT_EQ(result.message, "VCD_TARGET not implemented");
  EXPECT_EQ(result.input_total, patch.size());

  const Bytes source(10, 1);
  testing::WindowBuilder sourced(&source, 0, 10);
  sourced.Copy(0, 4, 0);
  patch = Join(testing::FileHeader(), sourced.Encode());
  MemoryDecodeOptions options;
  options.attach_source = false;
  result = Decode(patch, source, options);
  EXPECT_EQ(result.message, "source input required");
  EXPECT_EQ(result.input_total, patch.size());
}

TEST(DecodeInput, EventsOfAWellFormedStream) {
  const testing::Sample sample = testing::RichSample();
  MemoryDecodeOptions options;
  options.block_size = 16;
  const DecodeResult result = Decode(sample.patch, sample.source, options);
  EXPECT_EQ(result.output, sample.expected);
  EXPECT_EQ(result.input_total, sample.patch.size());
  EXPECT_EQ(result.final_state, kStateWindowIndicator);
  // Window 1 reads source blocks 0, 1, 3 and 4 (block 0 preloaded) in the order of its copies;
  // window 3 crosses from block 5 into the short block 6 twice.
  EXPECT_EQ(result.blocks, (std::vector<uint64_t>{1, 0, 1, 0, 1, 3, 4, 3, 5, 6, 5, 6}));
  std::vector<int> expected = {kStatusGotHeader};
  expected.insert(expected.end(), 8, kStatusNeedBlock);
  for (int status : {kStatusOutput, kStatusWindowDone, kStatusWindowStart, kStatusOutput,
                     kStatusWindowDone, kStatusWindowStart}) {
    expected.push_back(status);
  }
  expected.insert(expected.end(), 4, kStatusNeedBlock);
  for (int status : {kStatusOutput, kStatusWindowDone, kStatusNeedInput}) {
    expected.push_back(status);
  }
  EXPECT_EQ(result.statuses, expected);
}

// The same bytes and events, whatever the pieces: one byte at a time, and every split in two and
// three pieces.
TEST(DecodeInput, PiecesDoNotChangeTheResult) {
  const testing::Sample sample = testing::RichSample();
  MemoryDecodeOptions options;
  options.block_size = 16;
  const DecodeResult whole = Decode(sample.patch, sample.source, options);
  ASSERT_EQ(whole.output, sample.expected);
  const std::vector<int> events = testing::Events(whole);
  auto check = [&](std::vector<size_t> pieces) {
    options.pieces = pieces;
    const DecodeResult result = Decode(sample.patch, sample.source, options);
    ASSERT_EQ(result.output, sample.expected) << pieces[0] << " " << pieces[1];
    ASSERT_EQ(testing::Events(result), events) << pieces[0] << " " << pieces[1];
    ASSERT_EQ(result.close_status, 0);
  };
  check({1});
  const size_t size = sample.patch.size();
  for (size_t first = 0; first <= size; ++first) {
    check({first, size});
    for (size_t second = 1; first + second < size; second += 3) check({first, second, size});
  }
}

}  // namespace
}  // namespace tvl
