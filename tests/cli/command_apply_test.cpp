// tarvelline-cli apply, run in-process as a script would see it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "cli/cli.h"
#include "platform/file_faults.h"
#include "tests/cli/cli_run.h"
#include "tests/platform/system_errors.h"
#include "tests/test_files.h"
#include "tests/vcdiff/vcdiff_writer.h"

namespace tvl::cli {
namespace {

using testing::RandomBytes;
using testing::ReadFileBytes;
using testing::ScratchDir;
using testing::WindowBuilder;
using testing::WriteFileBytes;

class ApplyCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_bytes_ = RandomBytes(30000, 21);
    WindowBuilder first(&source_bytes_, 0, 30000);
    first.Copy(4000, 20000, 0);
    first.Add(RandomBytes(300, 22));
    WindowBuilder second(&source_bytes_, 8000, 100);
    second.Copy(0, 100, 0);
    second.CopyTarget(0, 700);
    windows_ = {first, second};
    WriteFileBytes(source_, source_bytes_);
    WriteFileBytes(patch_, testing::EncodeStream(windows_, "t.wad//s.wad/"));
  }

  CliRun Apply(const std::vector<std::string>& extra = {}) {
    Args args = {"apply",          "--patch",  patch_.string(), "--source",
                 source_.string(), "--output", output_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCommand(args);
  }

  std::set<std::string> FileNames() const { return testing::FileNames(dir_.path()); }

  ScratchDir dir_;
  Path source_ = dir_ / "source.wad";
  Path patch_ = dir_ / "patch.vcdiff";
  Path output_ = dir_ / "output.wad";
  std::vector<uint8_t> source_bytes_;
  std::vector<WindowBuilder> windows_;
};

TEST_F(ApplyCommandTest, SucceedsSilentlyWithAnyPieceSize) {
  for (const char* piece : {"1", "2", "3", "13", "4096", "4097", "1000000"}) {
    SCOPED_TRACE(piece);
    CliRun run = Apply({"--piece-size", piece});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFileBytes(output_), testing::ExpectedTarget(windows_));
  }
  EXPECT_EQ(Apply().code, 0);  // the default piece size

  // A patch file is read a chunk at a time: pieces that fill a chunk exactly, pieces that don't,
  // and a patch that ends on a piece's end, which is then followed by an empty one.
  WindowBuilder big;
  big.Add(RandomBytes(150000, 25));
  windows_.push_back(big);
  const std::vector<uint8_t> patch = testing::EncodeStream(windows_);
  WriteFileBytes(patch_, patch);
  for (size_t piece :
       {size_t{1}, size_t{4096}, size_t{65536}, size_t{65537}, patch.size() / 2, patch.size()}) {
    SCOPED_TRACE(piece);
    CliRun run = Apply({"--piece-size", std::to_string(piece)});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(output_), testing::ExpectedTarget(windows_));
  }
}

TEST_F(ApplyCommandTest, DecoderFailuresPrintTheDecodersMessage) {
  windows_[1].checksum_skew = 0x100;
  WriteFileBytes(patch_, testing::EncodeStream(windows_));
  CliRun run = Apply();
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("target window checksum mismatch"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;

  std::vector<uint8_t> patch = testing::EncodeStream(windows_);
  patch.erase(patch.end() - 3, patch.end());
  WriteFileBytes(patch_, patch);
  run = Apply({"--piece-size", "7"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("eof in decode"), std::string::npos) << run.err;
}

// Every way a run can fail names the file and the reason, and leaves an existing output exactly
// as it was, with no temporary file beside it.
TEST_F(ApplyCommandTest, FailuresLeaveAnExistingOutputAsItWas) {
  const std::vector<uint8_t> precious = RandomBytes(5000, 23);
  const std::vector<uint8_t> good_patch = ReadFileBytes(patch_);
  const std::string missing = (dir_ / "missing.wad").string();
  const std::string p = patch_.string(), s = source_.string(), o = output_.string();
  auto no_fault = [] { return FileFaultPlan{}; };
  // The patch file is opened first, then the source.
  auto fail_nth = [](FileOp op, uint64_t nth, FileError error) {
    return FileFaultPlan{.op = op, .nth = nth, .error = error};
  };
  std::vector<uint8_t> bad_checksum, truncated = good_patch;
  windows_[1].checksum_skew = 0x100;
  bad_checksum = testing::EncodeStream(windows_);
  truncated.erase(truncated.end() - 3, truncated.end());

  // As the command words a failure of the system's: "<what>: <file> (<reason>)".
  auto says = [](const char* what, const std::string& file, const std::string& reason) {
    return std::string(what) + ": " + file + " (" + reason + ")";
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> patch;
    const char* to_missing;  // the option that names the missing file instead, or null
    FileFaultPlan plan;
    std::string error;
  };
  const Case cases[] = {
      {"missing source", good_patch, "--source", no_fault(),
       says("Couldn't open for read", missing, testing::NotFoundText())},
      {"missing patch", good_patch, "--patch", no_fault(),
       says("Couldn't open patch data", missing, testing::NotFoundText())},
      {"checksum", bad_checksum, nullptr, no_fault(), "target window checksum mismatch"},
      {"truncated patch", truncated, nullptr, no_fault(), "eof in decode"},
      {"empty patch", std::vector<uint8_t>(), nullptr, no_fault(), "eof in decode"},
      {"full disk", good_patch, nullptr, fail_nth(FileOp::kWrite, 1, testing::kDiskFull),
       says("Couldn't write output", o, testing::DiskFullText())},
      {"failed close", good_patch, nullptr, fail_nth(FileOp::kClose, 1, testing::kDiskFull),
       says("Couldn't write output", o, testing::DiskFullText())},
      {"failed move", good_patch, nullptr, fail_nth(FileOp::kRename, 1, testing::kDenied),
       says("Couldn't replace output", o, testing::DeniedText())},
      // The patch is read as the decoder goes: the first read of all, as the source is viewed.
      {"unreadable patch", good_patch, nullptr, fail_nth(FileOp::kRead, 1, testing::kIoError),
       says("Couldn't read patch data", p, testing::IoErrorText())},
      {"unreadable source", good_patch, nullptr, fail_nth(FileOp::kOpenRead, 2, testing::kDenied),
       says("Couldn't open for read", s, testing::DeniedText())},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(patch_, c.patch);
    WriteFileBytes(output_, precious);
    Args args = {"apply", "--patch", p, "--source", s, "--output", o};
    if (c.to_missing) *(std::find(args.begin(), args.end(), c.to_missing) + 1) = missing;
    FileFaultPlan plan = c.plan;
    const CliRun run = RunCommand(args, &plan);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "tarvelline-cli: " + c.error + "\n");
    EXPECT_EQ(ReadFileBytes(output_), precious);
    EXPECT_EQ(FileNames(), (std::set<std::string>{"output.wad", "patch.vcdiff", "source.wad"}));
  }
}

TEST_F(ApplyCommandTest, OutputsThatMayNotBeReplacedAreRefusedBeforeAnythingIsWritten) {
  const std::vector<uint8_t> precious = RandomBytes(5000, 24);
  WriteFileBytes(output_, precious);
  std::filesystem::permissions(output_,
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  CliRun run = Apply();
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvelline-cli: Couldn't open for write: " + output_.string() + " (" +
                         testing::DeniedText() + ")\n");
  EXPECT_EQ(ReadFileBytes(output_), precious);

  // The source itself would be emptied before it was read.
  run = RunCommand({"apply", "--patch", patch_.string(), "--source", source_.string(), "--output",
                    source_.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvelline-cli: Couldn't open for write: " + source_.string() + "\n");
  EXPECT_EQ(ReadFileBytes(source_), source_bytes_);

  // A folder that isn't there: the reason is the system's, whichever it gives.
  const Path nowhere = dir_ / "no" / "out.wad";
  run = RunCommand({"apply", "--patch", patch_.string(), "--source", source_.string(), "--output",
                    nowhere.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err.rfind("tarvelline-cli: Couldn't open for write: " + nowhere.string() + " (", 0),
            0u)
      << run.err;
  EXPECT_EQ(FileNames(), (std::set<std::string>{"output.wad", "patch.vcdiff", "source.wad"}));
}

TEST_F(ApplyCommandTest, ASuccessfulRunReplacesTheOutputWhole) {
  WriteFileBytes(output_, RandomBytes(100000, 25));  // longer than the result
  ASSERT_EQ(Apply().code, 0);
  EXPECT_EQ(ReadFileBytes(output_), testing::ExpectedTarget(windows_));
  EXPECT_EQ(FileNames(), (std::set<std::string>{"output.wad", "patch.vcdiff", "source.wad"}));
}

TEST_F(ApplyCommandTest, UsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {"apply"},
      {"apply", "--patch", "p", "--source", "s"},
      {"apply", "--patch", "p", "--source", "s", "--output", "o", "extra"},
      {"apply", "--patch", "p", "--source", "s", "--output", "o", "--piece-size", "0"},
      {"apply", "--patch", "p", "--source", "s", "--output", "o", "--piece-size", "-1"},
      {"apply", "--patch", "p", "--source", "s", "--output", "o", "--piece-size", "12k"},
      {"apply", "--patch", "p", "--source", "s", "--output", "o", "--piece-size", "99999999999"},
      {"apply", "--patch", "p", "--source", "s", "--output", "o", "--level", "9"},
      {"apply", "--patch"},
  };
  for (const auto& args : bad) {
    CliRun run = RunCommand(args);
    EXPECT_EQ(run.code, 2) << args.back();
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  CliRun help = RunCommand({"apply", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--piece-size"), std::string::npos);
}

}  // namespace
}  // namespace tvl::cli
