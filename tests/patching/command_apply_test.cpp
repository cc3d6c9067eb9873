// tarvelline-cli apply, run in-process as a script would see it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/cli.h"
#include "tests/cli/cli_run.h"
#include "tests/patching/vcdiff_builder.h"
#include "tests/test_files.h"

namespace tvl::cli {
namespace {

using testing::RandomBytes;
using testing::ReadFileBytes;
using testing::ScratchDir;
using testing::TestWindow;
using testing::WriteFileBytes;

class ApplyCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_bytes_ = RandomBytes(30000, 21);
    TestWindow first;
    first.source_length = 30000;
    testing::CopySource(first, 4000, 20000, source_bytes_);
    testing::Add(first, RandomBytes(300, 22));
    TestWindow second;
    second.source_offset = 8000;
    second.source_length = 100;
    testing::CopySource(second, 0, 100, source_bytes_);
    testing::CopyTarget(second, 0, 700);
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

  ScratchDir dir_;
  Path source_ = dir_ / "source.wad";
  Path patch_ = dir_ / "patch.vcdiff";
  Path output_ = dir_ / "output.wad";
  std::vector<uint8_t> source_bytes_;
  std::vector<TestWindow> windows_;
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
}

TEST_F(ApplyCommandTest, DecoderFailuresPrintTheDecodersMessage) {
  windows_[1].checksum_error = 0x100;
  WriteFileBytes(patch_, testing::EncodeStream(windows_));
  CliRun run = Apply();
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("target window checksum mismatch"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;

  std::vector<uint8_t> patch = testing::EncodeStream(windows_);
  patch.resize(patch.size() - 3);
  WriteFileBytes(patch_, patch);
  run = Apply({"--piece-size", "7"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("eof in decode"), std::string::npos) << run.err;
}

TEST_F(ApplyCommandTest, FileFailuresNameTheFile) {
  const Path missing = dir_ / "missing.wad";
  CliRun run = RunCommand({"apply", "--patch", patch_.string(), "--source", missing.string(),
                           "--output", output_.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("Couldn't open for read: " + missing.string()), std::string::npos)
      << run.err;

  // A missing patch is noticed before the output is touched.
  std::filesystem::remove(output_);
  run = RunCommand({"apply", "--patch", missing.string(), "--source", source_.string(), "--output",
                    output_.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("Couldn't open patch data: " + missing.string()), std::string::npos);
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
  EXPECT_FALSE(std::filesystem::exists(output_));
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
