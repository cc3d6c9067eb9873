// The stream's life: configuration, source attachment, block requests, close, free, allocation.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/vcdiff/decode_helpers.h"
#include "tests/vcdiff/vcdiff_writer.h"
#include "vcdiff/decoder.h"

namespace tvl {
namespace {

using testing::Bytes;

TEST(ConfigureDecodeStream, DefaultsWithoutConfiguration) {
  DecodeStream stream;
  stream.input_total = 99;  // configuration zeroes the record
  ASSERT_EQ(ConfigureDecodeStream(&stream, nullptr), 0);
  EXPECT_EQ(stream.window_size, 8388608u);
  EXPECT_EQ(stream.sprevsz, 262144u);
  EXPECT_EQ(stream.sprevsz_mask, 262143u);
  EXPECT_EQ(stream.instruction_count, 409u);
  EXPECT_EQ(stream.input_total, 0u);
  EXPECT_NE(stream.alloc, nullptr);
  EXPECT_NE(stream.release, nullptr);
  EXPECT_EQ(stream.getblk, nullptr);
  EXPECT_EQ(stream.decode_state, kStateMagic);
  FreeDecodeStream(&stream);
}

TEST(ConfigureDecodeStream, RefusedSettings) {
  struct Case {
    uint32_t flags;
    uint64_t sprevsz;
    uint32_t string_match;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {0x20, 0, 0, kStatusFailed, "unavailable secondary compressor: DJW Static Huffman"},
      {0x40, 0, 0, kStatusFailed, "unavailable secondary compressor: FGK Adaptive Huffman"},
      {0x1000000, 0, 0, kStatusFailed, "unavailable secondary compressor: LZMA"},
      {0x60, 0, 0, kStatusFailed, "too many secondary compressor types set"},
      {0x1000020, 0, 0, kStatusFailed, "too many secondary compressor types set"},
      {0x100, 0, 0, kStatusFailed,
       "secondary compressor flags require a secondary compressor type"},
      {0, 3, 0, kStatusFailed, "sprevsz is required to be a power of two"},
      {0, 0, 6, kStatusFailed, "invalid string match config type"},
      {0, 0, 5, kStatusInvalidConfig, "invalid soft string-match config"},
  };
  for (const Case& c : cases) {
    DecodeConfig config;
    config.flags = c.flags;
    config.sprevsz = c.sprevsz;
    config.string_match = c.string_match;
    DecodeStream stream;
    EXPECT_EQ(ConfigureDecodeStream(&stream, &config), c.status) << c.message;
    EXPECT_STREQ(stream.message, c.message);
    FreeDecodeStream(&stream);
  }
  // Accepted: the applier's settings, a power-of-two sprevsz, and valid soft parameters.
  DecodeConfig config;
  config.window_size = 4096;
  config.flags = 0x400;
  config.sprevsz = 1;
  config.string_match = 5;
  config.matcher_params[2] = 4;  // words 3-4, 5-6 and 7-8 as 64-bit values
  config.matcher_params[4] = 1;
  config.matcher_params[7] = 1;
  DecodeStream stream;
  EXPECT_EQ(ConfigureDecodeStream(&stream, &config), 0);
  EXPECT_EQ(stream.window_size, 4096u);
  EXPECT_EQ(stream.sprevsz_mask, 0u);
  FreeDecodeStream(&stream);
}

TEST(SetDecodeSource, BlockSizeBecomesAPowerOfTwo) {
  const std::pair<uint64_t, uint64_t> cases[] = {
      {4096, 4096}, {5000, 8192}, {0, 1}, {1, 1}, {3, 4}};
  for (auto [given, expected] : cases) {
    DecodeStream stream;
    ConfigureDecodeStream(&stream, nullptr);
    DecodeSource source;
    source.block_size = given;
    EXPECT_EQ(SetDecodeSource(&stream, &source), 0);
    EXPECT_EQ(source.block_size, expected);
    EXPECT_EQ(source.block_mask, expected - 1);
    EXPECT_EQ(uint64_t{1} << source.block_shift, expected);
    EXPECT_EQ(stream.source, &source);
  }
}

int fetch_calls = 0;

// Refuses block 5 as not seekable; "succeeds" for any other without delivering it.
int TestGetBlock(DecodeStream*, DecodeSource*, uint64_t block) {
  ++fetch_calls;
  return block == 5 ? kStatusNotSeekable : 0;
}

TEST(GetSourceBlock, InPlaceRequestedOrFetched) {
  DecodeStream stream;
  ConfigureDecodeStream(&stream, nullptr);
  DecodeSource source;
  source.block_size = 4096;
  const uint8_t block[1] = {};
  source.block_data = block;
  source.block_number = 2;
  SetDecodeSource(&stream, &source);
  EXPECT_EQ(GetSourceBlock(&stream, 2), 0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(GetSourceBlock(&stream, 6), kStatusNeedBlock);
    EXPECT_EQ(source.requested_block, 6u);
    EXPECT_STREQ(stream.message, "getblk source input");
  }
  // A fetch function's failure comes back; a success that doesn't deliver stays a request.
  fetch_calls = 0;
  stream.getblk = TestGetBlock;
  EXPECT_EQ(GetSourceBlock(&stream, 2), 0);
  EXPECT_EQ(fetch_calls, 0);
  EXPECT_EQ(GetSourceBlock(&stream, 5), kStatusNotSeekable);
  EXPECT_EQ(GetSourceBlock(&stream, 8), kStatusNeedBlock);
  EXPECT_EQ(fetch_calls, 2);
  FreeDecodeStream(&stream);
}

TEST(GetSourceBlock, NotSeekableFailsTheCopy) {
  const Bytes source(64, 1);
  testing::WindowBuilder window(&source, 0, 64);
  window.Copy(40, 8, 0);  // block 5 of 8-byte blocks
  const Bytes patch = testing::EncodeStream({window}, testing::kAppHeader);
  DecodeConfig config;
  config.getblk = TestGetBlock;
  MemoryDecodeOptions options;
  options.config = &config;
  options.block_size = 8;
  const DecodeResult result = testing::Decode(patch, source, options);
  EXPECT_EQ(result.status, kStatusFailed);
  EXPECT_EQ(result.message, "non-seekable source in decode");
}

TEST(CloseDecodeStream, CleanOnlyBetweenWindows) {
  const testing::Sample sample = testing::RichSample();
  // Never begun: no patch at all.
  DecodeStream stream;
  ConfigureDecodeStream(&stream, nullptr);
  EXPECT_EQ(CloseDecodeStream(&stream), kStatusBadData);
  EXPECT_STREQ(stream.message, "eof in decode");
  FreeDecodeStream(&stream);

  MemoryDecodeOptions options;
  options.block_size = 16;
  EXPECT_EQ(testing::Decode(sample.patch, sample.source, options).close_status, 0);
  const Bytes header_only(sample.patch.begin(), sample.patch.begin() + 19);
  EXPECT_EQ(testing::Decode(header_only, sample.source, options).close_status, 0);
  // Cut inside the magic, the application header, the first window and the last window.
  for (size_t cut : {size_t{1}, size_t{3}, size_t{18}, size_t{20}, sample.patch.size() - 1}) {
    const Bytes truncated(sample.patch.begin(), sample.patch.begin() + cut);
    const DecodeResult result = testing::Decode(truncated, sample.source, options);
    EXPECT_EQ(result.close_status, kStatusBadData) << cut;
    EXPECT_EQ(result.message, "eof in decode");
  }
}

TEST(FreeDecodeStream, ZeroesAndIsRepeatable) {
  DecodeStream stream;
  FreeDecodeStream(&stream);  // never configured
  ConfigureDecodeStream(&stream, nullptr);
  FreeDecodeStream(&stream);
  FreeDecodeStream(&stream);
  EXPECT_EQ(stream.alloc, nullptr);
  EXPECT_EQ(stream.window_size, 0u);
  EXPECT_EQ(stream.code_table, nullptr);
}

// Counts live allocations and refuses the n-th one.
struct Allocations {
  int refuse_at = -1;
  size_t limit = size_t{1} << 30;
  int count = 0;
  std::map<void*, size_t> live;
  std::vector<size_t> sizes;
  size_t live_bytes = 0;
  size_t peak_bytes = 0;  // the most ever live at once
};

void* TrackingAlloc(void* opaque, size_t count, size_t size) {
  auto* allocations = static_cast<Allocations*>(opaque);
  allocations->sizes.push_back(count * size);
  if (allocations->count++ == allocations->refuse_at) return nullptr;
  if (count * size > allocations->limit) return nullptr;
  void* pointer = ::operator new(count* size);
  allocations->live[pointer] = count * size;
  allocations->live_bytes += count * size;
  allocations->peak_bytes = std::max(allocations->peak_bytes, allocations->live_bytes);
  return pointer;
}

void TrackingRelease(void* opaque, void* pointer) {
  auto* allocations = static_cast<Allocations*>(opaque);
  const auto found = allocations->live.find(pointer);
  ASSERT_NE(found, allocations->live.end()) << "released twice or never allocated";
  allocations->live_bytes -= found->second;
  allocations->live.erase(found);
  ::operator delete(pointer);
}

DecodeConfig TrackingConfig(Allocations* allocations) {
  DecodeConfig config;
  config.alloc = TrackingAlloc;
  config.release = TrackingRelease;
  config.alloc_opaque = allocations;
  return config;
}

TEST(DecodeStreamAllocation, EveryFailureIsCleanAndNothingLeaks) {
  const testing::Sample sample = testing::RichSample();
  MemoryDecodeOptions options;
  options.block_size = 16;
  options.pieces = {7};  // forces section copies as well
  Allocations allocations;
  DecodeConfig config = TrackingConfig(&allocations);
  options.config = &config;
  ASSERT_EQ(testing::Decode(sample.patch, sample.source, options).output, sample.expected);
  EXPECT_TRUE(allocations.live.empty());
  const int needed = allocations.count;
  EXPECT_GE(needed, 6);  // cache arrays, app header, three sections, window buffer
  for (size_t size : allocations.sizes) {
    if (size > 6144) {
      EXPECT_EQ(size % 16384, 0u);  // all but the cache arrays grow in steps
    }
  }
  for (int refuse = 0; refuse < needed; ++refuse) {
    allocations = Allocations();
    allocations.refuse_at = refuse;
    const DecodeResult result = testing::Decode(sample.patch, sample.source, options);
    EXPECT_EQ(result.status, kStatusOutOfMemory) << refuse;
    EXPECT_EQ(result.message, "out of memory");
    EXPECT_TRUE(allocations.live.empty()) << refuse;
  }
}

// Decodes a patch (in pieces of `piece` bytes unless 0), counting its allocations.
DecodeResult DecodeCounting(const Bytes& patch, size_t piece, Allocations* allocations,
                            const Bytes& source = {}) {
  DecodeConfig config = TrackingConfig(allocations);
  MemoryDecodeOptions options;
  options.config = &config;
  if (piece != 0) options.pieces = {piece};
  return testing::Decode(patch, source, options);
}

TEST(DecodeStreamAllocation, BuffersAreReusedAcrossWindows) {
  // Windows of 20000, 5000 and 30000 bytes: one 32768-byte window buffer serves all three.
  std::vector<testing::WindowBuilder> windows;
  for (uint64_t size : {20000, 5000, 30000}) {
    testing::WindowBuilder& window = windows.emplace_back();
    window.indicator = 0;
    window.Run(size, 'a');
  }
  Allocations allocations;
  const DecodeResult result = DecodeCounting(testing::EncodeStream(windows), 3, &allocations);
  EXPECT_EQ(result.output.size(), 55000u);
  // Near and same arrays, one copy per non-empty section, the window buffer: each once.
  EXPECT_EQ(allocations.sizes, (std::vector<size_t>{32, 6144, 16384, 16384, 32768}));
}

// A section a little longer than the same section of the window before: the copy kept from that
// window is freed before the longer one is allocated, never held beside it.
TEST(DecodeStreamAllocation, ALongerSectionReplacesTheOldCopyWithoutHoldingBoth) {
  std::vector<testing::WindowBuilder> windows;
  for (uint64_t size : {100000, 120000}) {
    testing::WindowBuilder& window = windows.emplace_back();
    window.indicator = 0;
    window.Add(Bytes(size, 'a'), true);
  }
  Allocations allocations;
  ASSERT_EQ(DecodeCounting(testing::EncodeStream(windows), 4096, &allocations).output.size(),
            220000u);
  // Data copies of 114688 and then 131072 bytes; window buffers likewise. Holding both copies
  // with the first window's buffer would take 360448 bytes; the second window's buffer and
  // copy, with the instruction copy and the cache arrays, take 262144 and a few KiB.
  EXPECT_LT(allocations.peak_bytes, size_t{114688 + 131072 + 114688});
  EXPECT_GE(allocations.peak_bytes, size_t{131072 + 131072});
}

// A file header that declares an application header of `length` bytes, then one byte of it.
Bytes AppHeaderOf(uint64_t length) {
  Bytes patch = {0xD6, 0xC3, 0xC4, 0, 4};
  testing::PutVarint(patch, length);
  patch.push_back('a');
  return patch;
}

// A window without source whose header declares the given lengths, with an encoding length that
// matches them (modulo 2^64, as a crafted header would), then a few bytes of its first section.
Bytes WindowOf(uint64_t target, uint64_t data, uint64_t instructions, uint64_t addresses) {
  Bytes body;
  testing::PutVarint(body, target);
  body.push_back(0);
  for (uint64_t length : {data, instructions, addresses}) testing::PutVarint(body, length);
  Bytes patch = testing::FileHeader(0);
  patch.push_back(0);
  testing::PutVarint(patch, body.size() + data + instructions + addresses);
  patch.insert(patch.end(), body.begin(), body.end());
  patch.insert(patch.end(), {'a', 'b', 'c'});
  return patch;
}

struct Hostile {
  const char* name;
  Bytes patch;
  const char* message;
};

// A patch of a few dozen bytes can't make the decoder ask for memory its header merely declares:
// each of these is refused with nothing larger than the address cache allocated.
TEST(DecodeStreamAllocation, DeclaredLengthsAreRefusedBeforeAllocating) {
  const uint64_t gib30 = uint64_t{30} << 30;
  const Hostile cases[] = {
      {"30 GiB application header", AppHeaderOf(gib30), "exceptional appheader size"},
      {"application header beyond a 32-bit size", AppHeaderOf((uint64_t{1} << 32) + 5),
       "exceptional appheader size"},
      {"application header one byte too long", AppHeaderOf(kMaxAppHeaderLength + 1),
       "exceptional appheader size"},
      {"30 GiB data section", WindowOf(1000, gib30, 2, 0), "incorrect encoding length (redundent)"},
      {"30 GiB instructions section", WindowOf(1000, 5, gib30, 0),
       "incorrect encoding length (redundent)"},
      {"30 GiB addresses section", WindowOf(1000, 5, 2, gib30),
       "incorrect encoding length (redundent)"},
      {"sections whose sum wraps", WindowOf(1000, ~uint64_t{0} - 7, 16, 0),
       "incorrect encoding length (redundent)"},
      {"sections far beyond a 64 MiB target", WindowOf(kMaxTargetWindow, 800u << 20, 0, 0),
       "incorrect encoding length (redundent)"},
  };
  for (const Hostile& c : cases) {
    for (size_t piece : {size_t{0}, size_t{1}}) {
      Allocations allocations;
      const DecodeResult result = DecodeCounting(c.patch, piece, &allocations);
      EXPECT_EQ(result.status, kStatusBadData) << c.name;
      EXPECT_EQ(result.message, c.message) << c.name;
      EXPECT_TRUE(allocations.live.empty()) << c.name;
      EXPECT_EQ(allocations.sizes, (std::vector<size_t>{32, 6144})) << c.name;
    }
  }
}

// A header within the bounds may still declare far more than the patch holds: a section copy
// grows with the bytes delivered, not with the declared length, and keeps what it has taken.
TEST(DecodeStreamAllocation, SectionCopiesGrowWithTheInput) {
  // A 64 MiB window whose addresses may take 10 bytes admits sections of up to 12 times that.
  const Bytes source;
  Bytes patch = testing::FileHeader(0);
  Bytes body;
  testing::PutVarint(body, kMaxTargetWindow);
  body.push_back(0);
  const uint64_t declared = 700u << 20;
  for (uint64_t length : {declared, uint64_t{0}, uint64_t{0}}) testing::PutVarint(body, length);
  patch.push_back(0x01);
  testing::PutVarint(patch, uint64_t{1} << 63);  // source segment length
  testing::PutVarint(patch, 0);                  // and position
  testing::PutVarint(patch, body.size() + declared);
  patch.insert(patch.end(), body.begin(), body.end());
  const size_t delivered = 100000;
  patch.resize(patch.size() + delivered, 'd');

  Allocations allocations;
  const DecodeResult result = DecodeCounting(patch, 4096, &allocations, source);
  EXPECT_EQ(result.statuses.back(), kStatusNeedInput) << result.message;
  EXPECT_EQ(result.close_status, kStatusBadData);
  EXPECT_EQ(result.message, "eof in decode");
  EXPECT_TRUE(allocations.live.empty());
  for (size_t size : allocations.sizes) EXPECT_LE(size, 2 * delivered);
  EXPECT_LE(allocations.sizes.size(), 8u);  // the copy doubles; it doesn't grow per piece
}

}  // namespace
}  // namespace tvl
