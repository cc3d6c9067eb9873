// The commands run in-process with their output captured, as a script would see it.
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_faults.h"
#include "tests/cli/cli_run.h"
#include "tests/platform/system_errors.h"
#include "tests/test_files.h"
#include "tvl_version.h"

namespace tvl::cli {
namespace {

TEST(CliTest, ListPrintsTheWholeCatalogue) {
  CliRun run = RunCommand({"list"});
  EXPECT_EQ(run.code, 0);
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 115u);
  EXPECT_EQ(lines[0],
            "0\tdoom\tv11\t0\tdf0040ccb29cc1622e74ceb3b7793a2304cca2c8\tDoom retail v1.1");
  EXPECT_EQ(
      lines[5],
      "5\tdoom\tu19\t1\t9b07b02ab3c275a6a7570c3f73cc20d63a0e3833\tThe Ultimate Doom retail v1.9");
  EXPECT_EQ(lines[70], "70\tvoices\t\t2\tec6883100d807b894a98f426d024d22c77b63e7f\tStrife voices");
  EXPECT_EQ(
      lines[114],
      "114\tdoom64\tv11\t0\td041456bea851c173f65ac6ab3f2ee61bb0b8b53\tDoom 64 re-release v1.1");
}

TEST(CliTest, IdentifyReportsUnknownAndUnreadableFiles) {
  testing::ScratchDir dir;
  std::string unknown = (dir / "abc.wad").string();
  testing::WriteFileText(unknown, "abc");
  std::string missing = (dir / "missing.wad").string();

  CliRun run = RunCommand({"identify", unknown, missing});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "-1\ta9993e364706816aba3e25717850c26c9cd0d89d\t-\tunknown\t" + unknown + "\n");
  EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
  EXPECT_EQ(Lines(run.err).size(), 1u);
}

// A file that can't be opened is reported with the open's own reason, not with that of a read
// tried on the file that never opened, by each command that reads files.
TEST(CliTest, UnopenableFilesAreReportedWithTheOpensReason) {
  testing::ScratchDir dir;
  const std::string missing = (dir / "missing.wad").string();
  const std::string locked = (dir / "locked.wad").string();
  testing::WriteFileText(locked, "abc");
  const std::string not_found =
      "tarvelline-cli: cannot read " + missing + ": " + testing::NotFoundText() + "\n";
  const std::string denied =
      "tarvelline-cli: cannot read " + locked + ": " + testing::DeniedText() + "\n";
  for (const Args& args : std::vector<Args>{
           {"identify"}, {"targets"}, {"convert", "--to", "doom2_v19", "--output", "out.wad"}}) {
    SCOPED_TRACE(args[0]);
    Args with_missing = args, with_locked = args;
    with_missing.insert(with_missing.begin() + 1, missing);
    with_locked.insert(with_locked.begin() + 1, locked);

    CliRun run = RunCommand(with_missing);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, not_found);
    EXPECT_EQ(run.out, "");

    // Refused as a file held open by another program, or one the user may not read, would be.
    FileFaultPlan plan{.op = FileOp::kOpenRead, .nth = 1, .error = testing::kDenied};
    run = RunCommand(with_locked, &plan);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, denied);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.wad"));
  }
}

#ifdef _WIN32
TEST(CliTest, AFileAnotherProgramHoldsIsReportedAsSuch) {
  testing::ScratchDir dir;
  const Path path = dir / "busy.wad";
  File holder = File::CreateForWrite(path);  // not shared: nobody else may open it
  ASSERT_TRUE(holder.is_open());
  CliRun run = RunCommand({"identify", path.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvelline-cli: cannot read " + path.string() + ": " +
                         DescribeFileError(ERROR_SHARING_VIOLATION) + "\n");
}
#endif

// The last column depends on the patches this build carries; convert_test checks it.
std::string WithoutLastColumn(const std::string& line) { return line.substr(0, line.rfind('\t')); }

TEST(CliTest, TargetsByReleaseIdShowRoutes) {
  CliRun run = RunCommand({"targets", "--release", "doom2_v1666"});
  EXPECT_EQ(run.code, 0);
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(WithoutLastColumn(lines[0]),
            "26\tdoom2_v1666g\tDoom 2 retail v1.666 (German)\t"
            "doom2_v1666_to_doom2_v19,doom2_v19_to_doom2_v1666g");
  EXPECT_EQ(WithoutLastColumn(lines[5]),
            "31\tdoom2_v19\tDoom 2 retail v1.9\tdoom2_v1666_to_doom2_v19");
  EXPECT_EQ(WithoutLastColumn(lines[15]),
            "41\tdoom2_zodiac\tDoom 2 (Zodiac)\t"
            "doom2_v1666_to_doom2_v19,doom2_v19_to_doom2_zodiac");

  CliRun freedoom = RunCommand({"targets", "--release=freedoom1_v0.9"});
  EXPECT_EQ(freedoom.code, 0);
  ASSERT_EQ(Lines(freedoom.out).size(), 8u);
  EXPECT_EQ(Lines(freedoom.out)[0], "75\tfreedoom1_v0.12.1\tFreedoom Phase 1 v0.12.1\t-\t-");

  EXPECT_EQ(RunCommand({"targets", "--release", "chex_"}).out, "");
}

TEST(CliTest, TargetsRejectUnknownReleasesAndFiles) {
  testing::ScratchDir dir;
  testing::WriteFileText(dir / "abc.wad", "abc");
  CliRun unknown_id = RunCommand({"targets", "--release", "doom2_v99"});
  EXPECT_EQ(unknown_id.code, 1);
  EXPECT_NE(unknown_id.err.find("doom2_v99"), std::string::npos);
  CliRun unknown_file = RunCommand({"targets", (dir / "abc.wad").string()});
  EXPECT_EQ(unknown_file.code, 1);
  EXPECT_NE(unknown_file.err.find("not a known release"), std::string::npos);
}

TEST(CliTest, UsageErrorsExitTwoWithAHint) {
  for (const Args& args : std::vector<Args>{{},
                                            {"frobnicate"},
                                            {"list", "extra"},
                                            {"identify"},
                                            {"identify", "--bogus", "x"},
                                            {"targets"},
                                            {"targets", "a", "--release", "doom2_v19"},
                                            {"targets", "--release"}}) {
    CliRun run = RunCommand(args);
    EXPECT_EQ(run.code, 2) << (args.empty() ? "(none)" : args[0]);
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
  }
}

TEST(CliTest, HelpAndVersion) {
  EXPECT_EQ(RunCommand({"--version"}).out, "tarvelline-cli " TVL_VERSION_SHORT "\n");
  CliRun help = RunCommand({"--help"});
  EXPECT_EQ(help.code, 0);
  for (const char* command : {"list", "identify", "targets"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
    CliRun usage = RunCommand({command, "--help"});
    EXPECT_EQ(usage.code, 0);
    EXPECT_EQ(usage.out.rfind(std::string("usage: tarvelline-cli ") + command, 0), 0u);
  }
}

}  // namespace
}  // namespace tvl::cli
