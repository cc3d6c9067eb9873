// Decoding a patch from memory into a file: pieces, source blocks, windows and failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "patching/apply_patch.h"
#include "platform/file_faults.h"
#include "tests/test_files.h"
#include "tests/vcdiff/vcdiff_writer.h"

namespace tvl {
namespace {

using testing::EncodeStream;
using testing::ExpectedTarget;
using testing::RandomBytes;
using testing::ReadFileBytes;
using testing::ScratchDir;
using testing::WindowBuilder;
using testing::WriteFileBytes;

class ApplyBytesTest : public ::testing::Test {
 protected:
  // Writes `source` and applies `patch`; the output lands in output().
  bool Apply(const std::vector<uint8_t>& source, const std::vector<uint8_t>& patch,
             size_t piece_size = kPatchPieceSize) {
    if (source != written_source_ || !std::filesystem::exists(source_path_)) {
      WriteFileBytes(source_path_, source);
      written_source_ = source;
    }
    error_ = {};
    return ApplyPatchBytes(source_path_, patch, output_path_, piece_size, &error_);
  }
  std::vector<uint8_t> output() { return ReadFileBytes(output_path_); }

  // Decodes against the source written last, reading it as `reading` says, the patch in memory or
  // from `patch_file`.
  bool Decode(PatchInput patch, SourceReading reading = {}) {
    File input = File::OpenForRead(source_path_);
    File output = File::CreateForWrite(output_path_);
    error_ = {};
    return DecodeToFile(input, patch, output, kPatchPieceSize, {}, &error_, reading);
  }

  ScratchDir dir_;
  Path source_path_ = dir_ / "source.bin";
  Path output_path_ = dir_ / "output.bin";
  ApplyError error_;
  std::vector<uint8_t> written_source_;
};

// Three windows: copies within and across 4096-byte source blocks, going back to earlier blocks,
// a segment that starts mid-block, overlapping target copies, and a window without a source.
std::vector<WindowBuilder> MixedWindows(const std::vector<uint8_t>& source) {
  WindowBuilder first(&source, 0, 20000);
  first.Copy(4090, 20, 0);  // blocks 0 and 1
  first.Copy(0, 5000, 0);
  first.Add(RandomBytes(100, 7));
  first.CopyTarget(5100, 300);  // overlaps the bytes it writes
  first.Copy(16380, 3620, 0);   // the last, short block
  first.Run(70, 0xAB);
  WindowBuilder second(&source, 12000, 8000);
  second.Copy(0, 8000, 0);
  second.Copy(100, 10, 0);  // back to block 2 after block 4
  second.CopyTarget(0, 4096);
  WindowBuilder third;
  third.indicator = 0x04;  // no source
  third.Add(RandomBytes(5000, 9));
  third.CopyTarget(10, 5000);
  return {first, second, third};
}

// Sources of every size and copies of every kind rebuild the target.
TEST_F(ApplyBytesTest, RebuildsTargetsFromSourceBlocks) {
  const struct {
    const char* name;
    size_t source_size;
    uint32_t seed;
    std::function<std::vector<WindowBuilder>(const std::vector<uint8_t>&)> windows;
  } rows[] = {
      {"multi-window", 20000, 1, MixedWindows},
      // Cross the 64 KiB pieces the read-ahead path takes, go back and forth between them, and
      // end in a short last piece.
      {"anywhere in a larger source", 200000, 15,
       [](const std::vector<uint8_t>& source) {
         WindowBuilder window(&source, 0, 200000);
         window.Copy(65530, 20, 0);
         window.Copy(131000, 70000 - 1000, 0);
         window.Copy(100, 50, 0);
         window.Copy(196600, 3400, 0);
         window.Copy(65536 * 2 - 1, 2, 0);
         window.Copy(0, 200000, 0);
         return std::vector<WindowBuilder>{window};
       }},
      {"source shorter than one block", 100, 3,
       [](const std::vector<uint8_t>& source) {
         WindowBuilder window(&source, 0, 100);
         window.Copy(0, 100, 0);
         window.Copy(50, 50, 0);
         return std::vector<WindowBuilder>{window};
       }},
      // The segment is declared past the source's end; the copies stay inside.
      {"segment past the source end", 5000, 4,
       [](const std::vector<uint8_t>& source) {
         WindowBuilder window(&source, 0, 100000);
         window.Copy(4000, 1000, 0);  // ends exactly at the end of the file
         window.Copy(0, 10, 0);
         return std::vector<WindowBuilder>{window};
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::vector<uint8_t> source = RandomBytes(row.source_size, row.seed);
    const std::vector<WindowBuilder> windows = row.windows(source);
    ASSERT_TRUE(Apply(source, EncodeStream(windows, "b.wad//a.wad/"))) << error_.message;
    EXPECT_EQ(error_.failure, ApplyFailure::kNone);
    EXPECT_EQ(output(), ExpectedTarget(windows));
  }
}

TEST_F(ApplyBytesTest, EveryPieceSizeGivesTheSameOutput) {
  const std::vector<uint8_t> source = RandomBytes(20000, 2);
  const auto windows = MixedWindows(source);
  const std::vector<uint8_t> patch = EncodeStream(windows);
  const std::vector<uint8_t> expected = ExpectedTarget(windows);
  std::vector<size_t> sizes;
  for (size_t size = 1; size <= 40; ++size) sizes.push_back(size);
  for (size_t size : {size_t{127}, size_t{4095}, size_t{4096}, size_t{4097}, patch.size() - 1,
                      patch.size(), patch.size() + 1, size_t{1} << 20}) {
    sizes.push_back(size);
  }
  for (size_t size : sizes) {
    ASSERT_TRUE(Apply(source, patch, size)) << "piece " << size << ": " << error_.message;
    ASSERT_EQ(output(), expected) << "piece " << size;
  }
}

// How the source is read changes nothing: through a view, or through the read-ahead in blocks of
// whatever size the caller picks (raised to a power of two, at most the read-ahead), copies that
// cross, skip and go back over blocks and reads give the same output.
TEST_F(ApplyBytesTest, EverySourceReadingGivesTheSameOutput) {
  const std::vector<uint8_t> source = RandomBytes(200000, 16);
  std::vector<WindowBuilder> windows = MixedWindows(source);
  WindowBuilder far(&source, 0, 200000);
  far.Copy(65530, 20, 0);
  far.Copy(131000, 69000, 0);
  far.Copy(100, 50, 0);
  far.Copy(199999, 1, 0);
  far.Copy(65536 * 2 - 1, 2, 0);
  windows.push_back(far);
  const std::vector<uint8_t> patch = EncodeStream(windows);
  WriteFileBytes(source_path_, source);
  const SourceReading readings[] = {
      {SourceAccess::kMapped, kSourceBlockSize},
      {SourceAccess::kRead, kSourceBlockSize},
      {SourceAccess::kRead, 1},
      {SourceAccess::kRead, 3},
      {SourceAccess::kRead, 1000},
      {SourceAccess::kRead, kSourceReadSize},
      {SourceAccess::kRead, kSourceReadSize * 4},
  };
  for (const SourceReading& reading : readings) {
    SCOPED_TRACE(::testing::Message() << "mapped " << (reading.access == SourceAccess::kMapped)
                                      << " block " << reading.block_size);
    ASSERT_TRUE(Decode({patch}, reading)) << error_.message;
    EXPECT_EQ(output(), ExpectedTarget(windows));
  }
}

TEST_F(ApplyBytesTest, CopiesBeyondTheSourceEndFail) {
  const std::vector<uint8_t> source = RandomBytes(5000, 5);
  WindowBuilder good(&source, 0, 5000);
  good.Copy(0, 5000, 0);
  for (uint64_t address :
       {uint64_t{9000}, uint64_t{4990}}) {  // a block wholly past the end; across it
    SCOPED_TRACE(address);
    WindowBuilder bad(&source, 0, 100000);
    bad.Copy(address, 20, 0);
    EXPECT_FALSE(Apply(source, EncodeStream({good, bad})));
    EXPECT_EQ(error_.failure, ApplyFailure::kDecode);
    EXPECT_STREQ(error_.message, "source file too short");
    // The window finished before the failure stays in the output.
    EXPECT_EQ(output(), good.expected);
  }
}

// One window of one ADD, padded so that the whole stream is exactly `size` bytes.
std::vector<uint8_t> StreamOfSize(size_t size, std::vector<uint8_t>* target) {
  for (size_t add = size - 40;; ++add) {
    WindowBuilder window;
    window.indicator = 0x04;  // no source
    window.Add(RandomBytes(add, 11));
    for (size_t pad = 0; pad < 8; ++pad) {
      std::vector<uint8_t> stream = EncodeStream({window}, std::string(pad + 1, 'h'));
      if (stream.size() == size) {
        *target = window.expected;
        return stream;
      }
    }
  }
}

TEST_F(ApplyBytesTest, PatchesOfWholeAndPartPieces) {
  // 8192 bytes go in as 4096, 4096 and an empty piece; 5000 as 4096 and 904.
  for (size_t size : {size_t{4096}, size_t{8192}, size_t{5000}, size_t{4097}}) {
    std::vector<uint8_t> target;
    const std::vector<uint8_t> patch = StreamOfSize(size, &target);
    ASSERT_EQ(patch.size(), size);
    ASSERT_TRUE(Apply({}, patch)) << size << ": " << error_.message;
    EXPECT_EQ(output(), target) << size;
  }
}

// A patch file is read up to the size it had when the run began. One that ends before it was
// shortened by another program: what was read is not the patch, even where it stops between two
// windows and would decode to a shorter output that looks whole. The windows before stay written.
TEST_F(ApplyBytesTest, APatchFileShortenedDuringTheRunFails) {
  // The first window ends exactly where the first 64 KiB read of the patch does.
  std::vector<uint8_t> first_target;
  std::vector<uint8_t> patch = StreamOfSize(65536, &first_target);
  WindowBuilder second;
  second.indicator = 0x04;  // no source
  second.Add(RandomBytes(100000, 17));
  const std::vector<uint8_t> second_window = second.Encode();
  patch.insert(patch.end(), second_window.begin(), second_window.end());
  std::vector<uint8_t> whole = first_target;
  whole.insert(whole.end(), second.expected.begin(), second.expected.end());
  WriteFileBytes(source_path_, {});
  WriteFileBytes(dir_ / "patch.vcdiff", patch);

  const struct {
    const char* name;
    uint64_t ending_read;  // the read of the patch that finds its end; 0: none
    std::vector<uint8_t> output;
  } cases[] = {
      {"whole", 0, whole},
      {"ends at once", 1, {}},
      {"ends between the windows", 2, first_target},
      {"ends inside the second window", 3, first_target},
  };
  for (const auto& [name, ending_read, expected] : cases) {
    SCOPED_TRACE(name);
    File patch_file = File::OpenForRead(dir_ / "patch.vcdiff");
    // The source is empty, so every read is the patch's.
    FileFaultPlan plan;
    plan.op = FileOp::kRead;
    plan.nth = ending_read;
    plan.end_of_file = true;
    bool decoded = false;
    {
      ScopedFileFaultPlan installed(&plan);
      decoded = Decode({{}, &patch_file});
    }
    EXPECT_EQ(plan.hit, ending_read != 0);
    if (ending_read == 0) {
      EXPECT_TRUE(decoded) << error_.message;
    } else {
      EXPECT_FALSE(decoded);
      EXPECT_EQ(error_.failure, ApplyFailure::kReadPatch);
      EXPECT_STREQ(error_.message, "The patch changed while it was being read.");
    }
    EXPECT_EQ(output(), expected);
  }
}

TEST_F(ApplyBytesTest, ChecksumMismatchFailsAfterEarlierWindowsAreWritten) {
  const std::vector<uint8_t> source = RandomBytes(9000, 6);
  WindowBuilder first(&source, 0, 9000);
  first.Copy(0, 9000, 0);
  WindowBuilder second = first;
  second.checksum_skew = 1;
  EXPECT_FALSE(Apply(source, EncodeStream({first, second})));
  EXPECT_EQ(error_.failure, ApplyFailure::kDecode);
  EXPECT_STREQ(error_.message, "target window checksum mismatch");
  EXPECT_EQ(output(), first.expected);

  // A different source than the patch was made for is caught the same way.
  std::vector<uint8_t> other = source;
  other[8000] ^= 1;
  EXPECT_FALSE(Apply(other, EncodeStream({first})));
  EXPECT_STREQ(error_.message, "target window checksum mismatch");
}

TEST_F(ApplyBytesTest, OnlyPrefixesEndingBetweenWindowsSucceed) {
  const std::vector<uint8_t> source = RandomBytes(6000, 8);
  WindowBuilder first(&source, 0, 6000);
  first.Copy(10, 5000, 0);
  WindowBuilder second;
  second.indicator = 0x04;  // no source
  second.Add(RandomBytes(300, 12));
  const std::vector<uint8_t> header = EncodeStream({}, "t.wad//s.wad/");
  const std::vector<uint8_t> one = EncodeStream({first}, "t.wad//s.wad/");
  const std::vector<uint8_t> patch = EncodeStream({first, second}, "t.wad//s.wad/");

  for (size_t cut = 0; cut <= patch.size(); ++cut) {
    SCOPED_TRACE(cut);
    const std::vector<uint8_t> prefix(patch.begin(), patch.begin() + cut);
    const int result = Apply(source, prefix);
    if (cut == header.size() || cut == one.size() || cut == patch.size()) {
      EXPECT_EQ(result, 1) << error_.message;
    } else {
      // Cut inside the file header (an empty patch included), a window header or a window.
      EXPECT_EQ(result, 0);
      EXPECT_STREQ(error_.message, "eof in decode");
    }
  }
  EXPECT_FALSE(Apply(source, std::vector<uint8_t>(patch.begin(), patch.end() - 1)));
  EXPECT_EQ(output(), first.expected);
}

TEST_F(ApplyBytesTest, PassesTheDecodersMessageOn) {
  std::vector<uint8_t> patch = EncodeStream({});
  patch[2] = 0xC5;
  EXPECT_FALSE(Apply({}, patch));
  EXPECT_EQ(error_.failure, ApplyFailure::kDecode);
  EXPECT_STREQ(error_.message, "not a VCDIFF input");
}

TEST_F(ApplyBytesTest, FileFailures) {
  const std::vector<uint8_t> patch = EncodeStream({});
  EXPECT_FALSE(ApplyPatchBytes(dir_ / "absent.bin", patch, output_path_, 0, &error_));
  EXPECT_EQ(error_.failure, ApplyFailure::kOpenInput);
  EXPECT_NE(error_.file_error, 0u);
  EXPECT_TRUE(std::filesystem::exists(output_path_));  // created all the same

  WriteFileBytes(source_path_, {1, 2, 3});
  EXPECT_FALSE(ApplyPatchBytes(source_path_, patch, dir_ / "no" / "such" / "dir", 0, &error_));
  EXPECT_EQ(error_.failure, ApplyFailure::kCreateOutput);

  // The output as the input itself would be emptied before it was read.
  EXPECT_FALSE(ApplyPatchBytes(source_path_, patch, source_path_, 0, &error_));
  EXPECT_EQ(error_.failure, ApplyFailure::kCreateOutput);
  EXPECT_EQ(ReadFileBytes(source_path_), (std::vector<uint8_t>{1, 2, 3}));

  EXPECT_EQ(DescribeApplyError({ApplyFailure::kDecode, "eof in decode", 0}, source_path_, "p",
                               output_path_),
            "eof in decode");
  EXPECT_EQ(DescribeApplyError({ApplyFailure::kNoPatch, "Couldn't open patch data", 0},
                               source_path_, "x_to_y", output_path_),
            "Couldn't open patch data: x_to_y");
}

#ifndef _WIN32
TEST_F(ApplyBytesTest, AShortWriteEndsTheRun) {
  const Path full = "/dev/full";
  if (!std::filesystem::exists(full)) GTEST_SKIP() << "no /dev/full";
  WindowBuilder window;
  window.indicator = 0x04;  // no source
  window.Add(RandomBytes(1000, 13));
  WriteFileBytes(source_path_, {});
  EXPECT_FALSE(ApplyPatchBytes(source_path_, EncodeStream({window}), full, 0, &error_));
  EXPECT_EQ(error_.failure, ApplyFailure::kWrite);
}
#endif

// A stop is its own result, told apart from a patch the decoder refused, and comes only after
// the window it answers is written; a limit refuses a window before any of it is written.
TEST_F(ApplyBytesTest, TheCallerStopsOrBoundsTheRunBetweenWindows) {
  std::vector<WindowBuilder> windows(3);
  for (size_t i = 0; i < windows.size(); ++i) {
    windows[i].indicator = 0x04;  // no source
    windows[i].Add(RandomBytes(100000, 20 + static_cast<uint32_t>(i)));
  }
  const std::vector<uint8_t> patch = EncodeStream(windows);
  WriteFileBytes(source_path_, {});
  std::vector<size_t> told;
  DecodeControl control;
  control.window_written = [&](size_t size) {
    told.push_back(size);
    EXPECT_EQ(std::filesystem::file_size(output_path_), told.size() * 100000);
    return told.size() < 2;
  };
  EXPECT_FALSE(ApplyPatchBytes(source_path_, patch, output_path_, 0, &error_, control));
  EXPECT_EQ(error_.failure, ApplyFailure::kStopped);
  EXPECT_EQ(told, (std::vector<size_t>{100000, 100000}));
  EXPECT_EQ(output(), ExpectedTarget({windows[0], windows[1]}));

  control = {};
  control.output_limit = 250000;
  EXPECT_FALSE(ApplyPatchBytes(source_path_, patch, output_path_, 0, &error_, control));
  EXPECT_EQ(error_.failure, ApplyFailure::kDecode);
  EXPECT_STREQ(error_.message, kOutputLimitMessage);
  EXPECT_EQ(output(), ExpectedTarget({windows[0], windows[1]}));
}

TEST_F(ApplyBytesTest, ReadsSourceBlocksBeyondFourGigabytes) {
  // A sparse source with data past 5 GiB: block positions must not wrap at 32 bits.
  constexpr uint64_t kFar = (uint64_t{5} << 30) + 1000;
  const std::vector<uint8_t> tail = RandomBytes(9000, 14);
  {
    File file = File::CreateForWrite(source_path_);
    ASSERT_TRUE(file.is_open());
    if (!file.Seek(kFar) || file.Write(tail.data(), tail.size()) != tail.size() || !file.Close()) {
      GTEST_SKIP() << "no room for a sparse 5 GiB file";
    }
  }
  WindowBuilder window(nullptr, kFar - 1000, 1000 + tail.size());
  window.Copy(1000 + 3000, 4000, 0);  // across the block at 5 GiB + 4096
  window.expected.assign(tail.begin() + 3000, tail.begin() + 7000);
  error_ = {};
  ASSERT_TRUE(ApplyPatchBytes(source_path_, EncodeStream({window}), output_path_, 0, &error_))
      << error_.message;
  EXPECT_EQ(output(), std::vector<uint8_t>(tail.begin() + 3000, tail.begin() + 7000));
}

}  // namespace
}  // namespace tvl
