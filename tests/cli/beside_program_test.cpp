// The "patches" folder beside the program, found without --patches. This test program is built
// into a folder of its own, so the folder it makes there is seen by no other test.
#include <gtest/gtest.h>

#include "patches/patch_folder.h"
#include "platform/program_folder.h"
#include "tests/cli/cli_files.h"
#include "tests/cli/cli_run.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"

namespace tvl::cli {
namespace {

// Removes the folder it was given when the test ends, however it ends.
struct RemovedAtEnd {
  Path path;
  ~RemovedAtEnd() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

TEST(BesideProgramTest, ConvertAndTargetsUseThePatchesFolderBesideTheProgram) {
  const Path program_folder = ProgramFolder();
  ASSERT_FALSE(program_folder.empty());
  EXPECT_TRUE(std::filesystem::exists(program_folder / "beside_program_test") ||
              std::filesystem::exists(program_folder / "beside_program_test.exe"))
      << PathToUtf8(program_folder);
  const Path patches = PatchFolderBesideProgram();
  ASSERT_EQ(patches, program_folder / "patches");
  ASSERT_FALSE(std::filesystem::exists(patches)) << "left over from an earlier run";
  RemovedAtEnd cleanup{patches};

  testing::ScratchDir dir;
  Path input = testing::WriteSyntheticRelease(dir.path(), u"tnt_v19", "tnt.wad");
  Path psneur = testing::WriteSyntheticRelease(dir.path(), u"tnt_psneur", "psneur.wad");
  auto targets_line = [&] {
    for (const std::string& line : Lines(RunCommand({"targets", input.string()}).out)) {
      if (line.find("\ttnt_psneur\t") != std::string::npos) return line;
    }
    return std::string();
  };
  EXPECT_EQ(targets_line().substr(targets_line().rfind('\t')), "\tmissing");

  std::filesystem::create_directories(patches);
  CliRun made = RunCommand({"make-patch", "--source", input.string(), "--target", psneur.string(),
                            "--output", PathToUtf8(patches / "tnt_v19_to_tnt_psneur.vcdiff")});
  ASSERT_EQ(made.code, 0) << made.err;
  EXPECT_EQ(targets_line().substr(targets_line().rfind('\t')), "\tpresent");

  Path output = dir / "out.wad";
  CliRun run =
      RunCommand({"convert", input.string(), "--to", "tnt_psneur", "--output", output.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(testing::ReadFileBytes(output), Release(u"tnt_psneur"));
}

}  // namespace
}  // namespace tvl::cli
