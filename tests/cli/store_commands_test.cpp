// make-patch and build-store on the synthetic releases: the tools that fill the patch store.
#include <gtest/gtest.h>

#include "tests/cli/cli_files.h"
#include "tests/cli/cli_run.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"

namespace tvl::cli {
namespace {

TEST(MakePatchTest, WritesAPatchThatApplyTurnsIntoTheTarget) {
  testing::ScratchDir dir;
  Path source = testing::WriteSyntheticRelease(dir.path(), u"tnt_v19", "tnt.wad");
  Path target = testing::WriteSyntheticRelease(dir.path(), u"tnt_psneur", "tnt eur.wad");
  Path patch = dir / "tnt.vcdiff", rebuilt = dir / "rebuilt.wad";

  CliRun made = RunCommand({"make-patch", "--source", source.string(), "--target", target.string(),
                            "--output", patch.string()});
  ASSERT_EQ(made.code, 0) << made.err;
  std::vector<uint8_t> bytes = testing::ReadFileBytes(patch);
  ASSERT_GT(bytes.size(), 40u);
  EXPECT_LT(bytes.size(), Release(u"tnt_psneur").size() / 10) << "releases share most bytes";
  // The application header names the two files, the space made printable.
  const std::string header = "tnt_eur.wad//tnt.wad/";
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), header.begin(), header.end()), bytes.end());

  CliRun applied = RunCommand({"apply", "--patch", patch.string(), "--source", source.string(),
                               "--output", rebuilt.string()});
  ASSERT_EQ(applied.code, 0) << applied.err;
  EXPECT_EQ(testing::ReadFileBytes(rebuilt), Release(u"tnt_psneur"));
}

TEST(MakePatchTest, FailuresLeaveNoPatchBehind) {
  testing::ScratchDir dir;
  Path source = testing::WriteSyntheticRelease(dir.path(), u"tnt_v19", "tnt.wad");
  Path patch = dir / "out.vcdiff";
  CliRun missing = RunCommand({"make-patch", "--source", source.string(), "--target",
                               (dir / "missing.wad").string(), "--output", patch.string()});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("missing.wad"), std::string::npos) << missing.err;
  EXPECT_FALSE(std::filesystem::exists(patch));

  // A folder opens on some systems, and fails only when read.
  CliRun folder = RunCommand({"make-patch", "--source", source.string(), "--target",
                              dir.path().string(), "--output", patch.string()});
  EXPECT_EQ(folder.code, 1);
  EXPECT_NE(folder.err.find("cannot read " + dir.path().string()), std::string::npos) << folder.err;
  EXPECT_FALSE(std::filesystem::exists(patch));

  CliRun unwritable = RunCommand({"make-patch", "--source", source.string(), "--target",
                                  source.string(), "--output", (dir / "no" / "p").string()});
  EXPECT_EQ(unwritable.code, 1);
  EXPECT_EQ(Lines(unwritable.err).size(), 1u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_EQ(RunCommand({"make-patch", "--source", source.string()}).code, 2);
}

TEST(BuildStoreTest, MakesThePatchesOfThePresentReleasesAndListsTheRest) {
  testing::ScratchDir dir;
  Path releases = dir / "releases", store = dir / "store";
  std::filesystem::create_directories(releases);
  testing::WriteSyntheticRelease(releases, u"tnt_v19", "TNT.WAD");
  testing::WriteSyntheticRelease(releases, u"tnt_psnusa", "tnt-usa.wad");
  testing::WriteSyntheticRelease(releases, u"doom2_xbox", "doom2.wad");  // its base is absent
  testing::WriteFileText(releases / "readme.txt", "not a release");

  CliRun run =
      RunCommand({"build-store", "--releases", releases.string(), "--output", store.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 137u);
  EXPECT_EQ(lines[0].rfind("wrote\ttnt_v19_to_tnt_psnusa\t", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("wrote\ttnt_psnusa_to_tnt_v19\t", 0), 0u) << lines[1];
  EXPECT_EQ(lines.back(), "2 of 136 patches written to " + store.string());
  auto has = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_TRUE(has("missing\tdoom2_xbox_to_doom2_v19\trelease file absent: doom2_v19 (base)"));
  EXPECT_TRUE(has("missing\ttnt_v19_to_tnt_psneur\trelease file absent: tnt_psneur"));
  EXPECT_TRUE(has("missing\tdoom_u19_to_doom_v11\trelease file absent: doom_u19 (base), doom_v11"));

  // What it wrote is what convert applies: rebuild the base from the other release.
  Path rebuilt = dir / "rebuilt.wad";
  CliRun applied =
      RunCommand({"apply", "--patch", (store / "tnt_psnusa_to_tnt_v19.vcdiff").string(), "--source",
                  (releases / "tnt-usa.wad").string(), "--output", rebuilt.string()});
  ASSERT_EQ(applied.code, 0) << applied.err;
  EXPECT_EQ(testing::ReadFileBytes(rebuilt), Release(u"tnt_v19"));
}

TEST(BuildStoreTest, RejectsAMissingReleasesFolder) {
  testing::ScratchDir dir;
  CliRun run = RunCommand(
      {"build-store", "--releases", (dir / "none").string(), "--output", (dir / "store").string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
}

}  // namespace
}  // namespace tvl::cli
