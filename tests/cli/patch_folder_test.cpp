// convert and targets with patches from a folder, on the synthetic build: its store lacks the
// tnt_psneur patches on purpose, so a folder made with build-store supplies them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "catalogue/catalogue.h"
#include "patches/patch_folder.h"
#include "patching/convert.h"
#include "patching/decode_to_file.h"
#include "platform/file_faults.h"
#include "platform/file_ops.h"
#include "tests/cli/cli_files.h"
#include "tests/cli/cli_run.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"
#include "tests/vcdiff/vcdiff_writer.h"

namespace tvl::cli {
namespace {

// The system's temporary folder is `temp_` during each test, so leftovers can be counted.
class PatchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The README's short path: build-store writes the folder the program reads.
    Path releases = dir_ / "releases";
    std::filesystem::create_directories(releases);
    testing::WriteSyntheticRelease(releases, u"tnt_v19", "tnt.wad");
    testing::WriteSyntheticRelease(releases, u"tnt_psneur", "tnt_psneur.wad");
    CliRun run =
        RunCommand({"build-store", "--releases", releases.string(), "--output", patches_.string()});
    ASSERT_TRUE(std::filesystem::exists(PatchFile("tnt_v19_to_tnt_psneur"))) << run.err;
    ASSERT_TRUE(std::filesystem::exists(PatchFile("tnt_psneur_to_tnt_v19"))) << run.err;
    std::filesystem::create_directories(work_);
  }

  Path PatchFile(const std::string& name) const { return patches_ / (name + ".vcdiff"); }

  CliRun Convert(const Path& input, const char* to, const Path& output) {
    return RunCommand({"convert", input.string(), "--to", to, "--output", output.string(),
                       "--patches", patches_.string()});
  }

  testing::ScratchDir dir_;
  Path temp_ = dir_ / "temp";
  testing::ScopedTempFolder temp_folder_{temp_};
  Path patches_ = dir_ / "patches";
  Path work_ = dir_ / "work";  // the user's files
};

TEST_F(PatchFolderTest, ConvertsWithPatchesFoundOnlyInTheFolder) {
  Path input = testing::WriteSyntheticRelease(work_, u"tnt_v19", "tnt.wad");
  Path output = work_ / "psneur.wad";
  CliRun run = Convert(input, "tnt_psneur", output);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(testing::ReadFileBytes(output), Release(u"tnt_psneur"));

  // Through the base: the first patch from the folder, the second built in.
  Path psnusa = work_ / "psnusa.wad";
  run = Convert(output, "tnt_psnusa", psnusa);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(testing::ReadFileBytes(psnusa), Release(u"tnt_psnusa"));

  // Without the folder the same conversion has no patch, and says where it looked.
  Path missing = work_ / "missing.wad";
  run = RunCommand({"convert", input.string(), "--to", "tnt_psneur", "--output", missing.string(),
                    "--patches", (dir_ / "releases").string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err,
            "tarvelline-cli: patch tnt_v19_to_tnt_psneur failed: Couldn't open patch data: "
            "tnt_v19_to_tnt_psneur (not built in, and not in " +
                (dir_ / "releases").string() + ")\n");
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(CountFiles(work_), 3u);
  EXPECT_EQ(CountFiles(temp_), 0u);
}

TEST_F(PatchFolderTest, TheBuiltInPatchWinsOverAFileOfTheSameName) {
  testing::WriteFileText(PatchFile("tnt_v19_to_tnt_psnusa"), "not a patch");
  Path input = testing::WriteSyntheticRelease(work_, u"tnt_v19", "tnt.wad");
  Path output = work_ / "psnusa.wad";
  CliRun run = Convert(input, "tnt_psnusa", output);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(testing::ReadFileBytes(output), Release(u"tnt_psnusa"));
}

// A folder file is untrusted: whatever is wrong with it, the conversion fails with the file's
// name in the message, no output and the input untouched, in place or not.
TEST_F(PatchFolderTest, DamagedFolderPatchesFailCleanlyAndNameTheFile) {
  const Path patch = PatchFile("tnt_v19_to_tnt_psneur");
  const std::vector<uint8_t> good = testing::ReadFileBytes(patch);
  testing::WindowBuilder window;
  window.indicator = 0x04;  // no source, a checksum
  window.checksum_skew = 1;
  window.Add(Release(u"tnt_psneur"));
  const std::vector<uint8_t> bad_checksum = testing::EncodeStream({window});
  const std::vector<uint8_t> cut(good.begin(), good.begin() + good.size() / 2);

  Path input = testing::WriteSyntheticRelease(work_, u"tnt_v19", "tnt.wad");
  Path output = work_ / "out.wad";
  const std::string prefix =
      "tarvelline-cli: patch tnt_v19_to_tnt_psneur failed: " + patch.string() + ": ";
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string error;  // after the prefix; empty: any decoder message
  };
  for (const Case& c : std::vector<Case>{
           {"bad checksum", bad_checksum, "target window checksum mismatch\n"},
           {"cut short", cut, ""},
           {"empty", {}, ""},
           {"not vcdiff", {'P', 'W', 'A', 'D', 0, 0, 0, 0}, ""},
       }) {
    SCOPED_TRACE(c.what);
    testing::WriteFileBytes(patch, c.bytes);
    for (bool in_place : {false, true}) {
      CliRun run = in_place ? RunCommand({"convert", input.string(), "--to", "tnt_psneur",
                                          "--in-place", "--patches", patches_.string()})
                            : Convert(input, "tnt_psneur", output);
      EXPECT_EQ(run.code, 1);
      ASSERT_EQ(run.err.substr(0, prefix.size()), prefix) << run.err;
      if (!c.error.empty()) {
        EXPECT_EQ(run.err.substr(prefix.size()), c.error);
      }
      EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
      EXPECT_FALSE(std::filesystem::exists(output));
      EXPECT_EQ(testing::ReadFileBytes(input), Release(u"tnt_v19"));
      EXPECT_EQ(CountFiles(work_), 1u) << "no partial output, no temporary file";
      EXPECT_EQ(CountFiles(temp_), 0u);
    }
  }
}

// A patch without checksums that decodes cleanly to the wrong bytes: only the digest catches it,
// and the message points at the folder file, the likelier culprit.
TEST_F(PatchFolderTest, AWrongResultFromAFolderPatchNamesTheFile) {
  const Path patch = PatchFile("tnt_v19_to_tnt_psneur");
  testing::WindowBuilder window;
  window.indicator = 0x00;  // no source, no checksum
  std::vector<uint8_t> wrong = Release(u"tnt_psneur");
  wrong[wrong.size() / 3] ^= 1;
  window.Add(wrong);
  testing::WriteFileBytes(patch, testing::EncodeStream({window}));

  // Through the base, so that the built-in first step does not take the blame.
  Path input = testing::WriteSyntheticRelease(work_, u"tnt_psnusa", "tnt.wad");
  Path output = work_ / "out.wad";
  CliRun run = Convert(input, "tnt_psneur", output);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err,
            "tarvelline-cli: the result is not the target release (was the input changed after "
            "it was identified, or is " +
                patch.string() + " not the patch its name says?)\n");
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_EQ(CountFiles(work_), 1u);
  EXPECT_EQ(CountFiles(temp_), 0u);
}

// One byte changed at a time across the whole stream: each either fails cleanly or, where the
// byte does not matter (the application header), still gives the exact target.
TEST_F(PatchFolderTest, EveryChangedByteFailsCleanlyOrStillGivesTheTarget) {
  const Path patch = PatchFile("tnt_psneur_to_tnt_v19");
  const std::vector<uint8_t> good = testing::ReadFileBytes(patch);
  Path input = testing::WriteSyntheticRelease(work_, u"tnt_psneur", "tnt.wad");
  Path output = work_ / "out.wad";
  const size_t step = std::max<size_t>(1, good.size() / 48);
  for (size_t at = 0; at < good.size(); at += step) {
    std::vector<uint8_t> bytes = good;
    bytes[at] ^= 0x55;
    testing::WriteFileBytes(patch, bytes);
    CliRun run = Convert(input, "tnt_v19", output);
    if (run.code == 0) {
      EXPECT_EQ(testing::ReadFileBytes(output), Release(u"tnt_v19")) << "byte " << at;
      std::filesystem::remove(output);
    } else {
      EXPECT_EQ(run.code, 1) << "byte " << at;
      EXPECT_FALSE(std::filesystem::exists(output)) << "byte " << at;
    }
    EXPECT_EQ(CountFiles(work_), 1u) << "byte " << at;
  }
  EXPECT_EQ(CountFiles(temp_), 0u);
}

TEST_F(PatchFolderTest, AFileTooLargeForAPatchIsNotRead) {
  const Path patch = PatchFile("tnt_v19_to_tnt_psneur");
  // Sparse where the system allows: no disk space is used.
  std::filesystem::resize_file(patch, kMaxFolderPatchSize + 1);
  Path input = testing::WriteSyntheticRelease(work_, u"tnt_v19", "tnt.wad");
  Path output = work_ / "out.wad";
  CliRun run = Convert(input, "tnt_psneur", output);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvelline-cli: patch tnt_v19_to_tnt_psneur failed: " + patch.string() +
                         ": larger than any patch (over 256 MiB), not read\n");
  EXPECT_FALSE(std::filesystem::exists(output));
}

// A patch of a few KiB whose windows each run 8 MiB of one byte would write 2 GiB: it is refused
// as soon as the output would pass its bound, before that window is written.
TEST_F(PatchFolderTest, APatchThatWouldFillTheDiskStopsAtItsBound) {
  const Path patch = PatchFile("tnt_v19_to_tnt_psneur");
  constexpr uint64_t kWindow = uint64_t{8} << 20;
  testing::WindowBuilder window;
  window.indicator = 0x00;
  window.Run(kWindow, 'x');
  std::vector<uint8_t> bytes = testing::EncodeStream({});
  const std::vector<uint8_t> one = window.Encode();
  for (int i = 0; i < 256; ++i) bytes.insert(bytes.end(), one.begin(), one.end());
  ASSERT_LT(bytes.size(), 5000u);
  testing::WriteFileBytes(patch, bytes);

  Path input = testing::WriteSyntheticRelease(work_, u"tnt_v19", "tnt.wad");
  Path output = work_ / "out.wad";
  const uint64_t bound = ReleaseOutputLimit(std::filesystem::file_size(input));
  FileFaultPlan counting;  // fails nothing, counts the writes: one per window
  SetFileFaultPlan(&counting);
  CliRun run = Convert(input, "tnt_psneur", output);
  SetFileFaultPlan(nullptr);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvelline-cli: patch tnt_v19_to_tnt_psneur failed: " + patch.string() +
                         ": " + kOutputLimitMessage + "\n");
  EXPECT_EQ(counting.count(FileOp::kWrite), bound / kWindow);
  EXPECT_LE(counting.count(FileOp::kWrite) * kWindow, bound);
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_EQ(CountFiles(work_), 1u);
  EXPECT_EQ(CountFiles(temp_), 0u);
}

TEST_F(PatchFolderTest, TargetsTellWhetherEveryPatchOfARouteIsPresent) {
  const std::string folder = patches_.string();
  CliRun run = RunCommand({"targets", "--release", "tnt_psnusa", "--patches", folder});
  ASSERT_EQ(run.code, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  const int psneur = FindIwadByReleaseId(u"tnt_psneur");
  const int v19 = FindIwadByReleaseId(u"tnt_v19");
  for (const std::string& line : lines) {
    if (line.rfind(std::to_string(psneur) + "\t", 0) == 0) {
      EXPECT_EQ(line.substr(line.rfind('\t')), "\tpresent") << line;
      EXPECT_NE(line.find("tnt_psnusa_to_tnt_v19,tnt_v19_to_tnt_psneur\t"), std::string::npos);
    }
    if (line.rfind(std::to_string(v19) + "\t", 0) == 0) {
      EXPECT_EQ(line.substr(line.rfind('\t')), "\tpresent") << line;
    }
  }

  // Without the folder, the route through tnt_v19_to_tnt_psneur lacks a patch.
  std::filesystem::remove(PatchFile("tnt_v19_to_tnt_psneur"));
  run = RunCommand({"targets", "--release", "tnt_psnusa", "--patches", folder});
  ASSERT_EQ(run.code, 0) << run.err;
  ASSERT_EQ(Lines(run.out).size(), lines.size());
  for (const std::string& line : Lines(run.out)) {
    if (line.rfind(std::to_string(psneur) + "\t", 0) == 0) {
      EXPECT_EQ(line.substr(line.rfind('\t')), "\tmissing") << line;
    }
  }
}

TEST_F(PatchFolderTest, AFolderThatIsNotThereIsAnError) {
  Path input = testing::WriteSyntheticRelease(work_, u"tnt_v19", "tnt.wad");
  const std::string nowhere = (dir_ / "nowhere").string();
  for (const Args& args : std::vector<Args>{
           {"convert", input.string(), "--to", "tnt_psnusa", "--output",
            (work_ / "out.wad").string(), "--patches", nowhere},
           {"targets", input.string(), "--patches", nowhere},
           {"targets", input.string(), "--patches", input.string()},
       }) {
    CliRun run = RunCommand(args);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err,
              "tarvelline-cli: --patches " + args.back() + ": not a folder or a patch pack\n");
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(CountFiles(work_), 1u);
}

}  // namespace
}  // namespace tvl::cli
