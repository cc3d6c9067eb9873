// End to end on the synthetic build: real identification, routes, patches and conversion.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "patching/convert.h"
#include "patching/leftovers.h"
#include "platform/file_faults.h"
#include "platform/file_ops.h"
#include "platform/text.h"
#include "tests/cli/cli_run.h"
#include "tests/platform/system_errors.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"
#include "tests/vcdiff/vcdiff_writer.h"

namespace tvl::cli {
namespace {

std::vector<uint8_t> Release(std::u16string_view id) {
  std::span<const uint8_t> bytes = testing::SyntheticReleaseBytes(id);
  return {bytes.begin(), bytes.end()};
}

// Every test gets its own folders: `dir_` for the user's files, `temp_` as the system's
// temporary folder, so that leftovers of either kind can be counted.
class ConvertTest : public ::testing::Test {
 protected:
  static size_t CountFiles(const Path& folder) {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      count += entry.is_regular_file() ? 1 : 0;
    }
    return count;
  }

  Path Write(std::u16string_view id, const char* name) {
    return testing::WriteSyntheticRelease(dir_.path(), id, name);
  }

  testing::ScratchDir dir_;
  Path temp_ = dir_ / "temp";
  testing::ScopedTempFolder temp_folder_{temp_};
};

TEST_F(ConvertTest, ConvertsFromAndToTheBaseInOneStep) {
  Path input = Write(u"doom2_v19", "doom2.wad");
  Path output = dir_ / "xbox.wad";
  CliRun run =
      RunCommand({"convert", input.string(), "--to", "doom2_xbox", "--output", output.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "doom2_v19\tdoom2_xbox\t" + output.string() + "\n");
  EXPECT_EQ(testing::ReadFileBytes(output), Release(u"doom2_xbox"));
  EXPECT_EQ(testing::ReadFileBytes(input), Release(u"doom2_v19"));

  Path back = dir_ / "back.wad";
  ASSERT_EQ(
      RunCommand({"convert", output.string(), "--to=doom2_v19", "--output", back.string()}).code,
      0);
  EXPECT_EQ(testing::ReadFileBytes(back), Release(u"doom2_v19"));
  EXPECT_EQ(CountFiles(dir_.path()), 3u);
  EXPECT_EQ(CountFiles(temp_), 0u);
}

// Through the base into a new file, and in place: the result is the verified target, and the
// intermediate base release is removed.
TEST_F(ConvertTest, ConvertsThroughTheBaseAndInPlace) {
  const struct {
    const char* name;
    std::u16string_view from, to;
    bool in_place;
  } rows[] = {
      {"through the base", u"doom2_v1666", u"doom2_zodiac", false},
      {"in place", u"doom2_xbox", u"doom2_v1666", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove_all(dir_.path() / "case");
    std::filesystem::create_directory(dir_.path() / "case");
    Path input = testing::WriteSyntheticRelease(dir_ / "case", row.from, "doom2.wad");
    Path output = row.in_place ? input : dir_ / "case" / "result.wad";
    Args args = {"convert", input.string(), "--to", Narrow(row.to)};
    if (row.in_place) {
      args.push_back("--in-place");
    } else {
      args.insert(args.end(), {"--output", output.string()});
    }
    CliRun run = RunCommand(args);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(testing::ReadFileBytes(output), Release(row.to));
    EXPECT_EQ(IdentifyIwad(output), FindIwadByReleaseId(row.to));
    EXPECT_EQ(CountFiles(dir_ / "case"), row.in_place ? 1u : 2u);
    EXPECT_EQ(CountFiles(temp_), 0u) << "the intermediate base release is removed";
  }
}

TEST_F(ConvertTest, InputChangedAfterIdentificationFailsAndLeavesEverythingAsItWas) {
  // Identified as the base, but by the time it is patched it holds another release.
  InitIwadCatalogue();
  Path input = Write(u"doom2_v1666", "doom2.wad");
  for (bool in_place : {false, true}) {
    ConvertRequest request;
    request.input = input;
    request.source = FindIwadByReleaseId(u"doom2_v19");
    request.target = FindIwadByReleaseId(u"doom2_xbox");
    request.output = in_place ? input : dir_ / "out.wad";
    request.temp_folder = temp_;
    request.make_temp = [](const Path& folder, FileError* error) {
      return MakeTempFile(folder, error);
    };
    ConvertReport report = ConvertRelease(request);
    EXPECT_TRUE(report.status == ConvertStatus::kPatchFailed ||
                report.status == ConvertStatus::kVerifyFailed);
    EXPECT_EQ(testing::ReadFileBytes(input), Release(u"doom2_v1666"));
    EXPECT_EQ(CountFiles(dir_.path()), 1u) << "no partial output, no temporary file";
    EXPECT_EQ(CountFiles(temp_), 0u);
  }
}

TEST_F(ConvertTest, FailedConversionsLeaveNoOutputAndTheInputUntouched) {
  Path psneur = Write(u"tnt_psneur", "tnt.wad");
  Path doom2 = Write(u"doom2_xbox", "doom2.wad");
  std::vector<uint8_t> corrupted = Release(u"doom2_v19");
  corrupted[12345] ^= 1;
  Path damaged = dir_ / "damaged.wad";
  testing::WriteFileBytes(damaged, corrupted);
  Path output = dir_ / "out.wad";

  struct Case {
    Args args;
    std::string error;
  };
  const std::string out = output.string();
  for (const Case& c : std::vector<Case>{
           {{"convert", psneur.string(), "--to", "tnt_v19", "--output", out}, "patch data"},
           {{"convert", damaged.string(), "--to", "doom2_xbox", "--output", out},
            "not a known release"},
           {{"convert", doom2.string(), "--to", "doom2_v19", "--output",
             (dir_ / "no" / "such" / "dir.wad").string()},
            "temporary file"},
           {{"convert", doom2.string(), "--to", "tnt_v19", "--output", out}, "another game"},
           {{"convert", doom2.string(), "--to", "doom2_xbox", "--output", out}, "already is"},
           {{"convert", doom2.string(), "--to", "doom2_v99", "--output", out}, "unknown release"},
           {{"convert", (dir_ / "missing.wad").string(), "--to", "doom2_v19", "--output", out},
            "cannot read"},
       }) {
    CliRun run = RunCommand(c.args);
    EXPECT_EQ(run.code, 1) << c.args[3];
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(output)) << c.args[3];
  }
  EXPECT_EQ(testing::ReadFileBytes(psneur), Release(u"tnt_psneur"));
  EXPECT_EQ(testing::ReadFileBytes(doom2), Release(u"doom2_xbox"));
  EXPECT_EQ(CountFiles(dir_.path()), 3u);
  EXPECT_EQ(CountFiles(temp_), 0u);
}

TEST_F(ConvertTest, IdentificationOnlyReleasesAreNeverConverted) {
  Path freedoom = Write(u"freedoom1_v0.9", "freedoom1.wad");
  CliRun run = RunCommand({"convert", freedoom.string(), "--to", "freedoom1_v0.12.1", "--output",
                           (dir_ / "out.wad").string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("identification only"), std::string::npos) << run.err;
  EXPECT_EQ(RunCommand({"identify", freedoom.string()}).code, 0);
}

TEST_F(ConvertTest, ReadOnlyFilesAreNotReplacedAndTheMessageNamesThem) {
  auto make_read_only = [](const Path& path) {
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
  };
  Path input = Write(u"doom2_v19", "doom2.wad");
  Path output = Write(u"tnt_v19", "ro.wad");
  make_read_only(output);
  CliRun run =
      RunCommand({"convert", input.string(), "--to", "doom2_xbox", "--output", output.string()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvelline-cli: cannot replace " + output.string() + ": " +
                         testing::DeniedText() + "\n");
  EXPECT_EQ(testing::ReadFileBytes(output), Release(u"tnt_v19"));

  make_read_only(input);
  run = RunCommand({"convert", input.string(), "--to", "doom2_xbox", "--in-place"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvelline-cli: cannot replace " + input.string() + ": " +
                         testing::DeniedText() + "\n");
  EXPECT_EQ(testing::ReadFileBytes(input), Release(u"doom2_v19"));
  EXPECT_EQ(CountFiles(dir_.path()), 2u);
  EXPECT_EQ(CountFiles(temp_), 0u);
}

// Failures part-way name the user's own files, never the temporary one the result is written to.
TEST_F(ConvertTest, FailuresPartWayNameTheUsersFilesAndTheReason) {
  Path input = Write(u"tnt_v19", "tnt.wad");
  const std::string in = input.string(), out = (dir_ / "psx.wad").string();
  const Args args = {"convert", in, "--to", "tnt_psnusa", "--output", out};
  FileFaultPlan counted;
  {
    ScopedFileFaultPlan scope(&counted);
    ASSERT_EQ(RunCommand(args).code, 0);
  }
  std::filesystem::remove(out);

  auto plan = [](FileOp op, uint64_t nth, FileError error) {
    FileFaultPlan plan;
    plan.op = op;
    plan.nth = nth;
    plan.error = error;
    return plan;
  };
  const std::string step = "patch tnt_v19_to_tnt_psnusa failed: ";
  struct Case {
    FileFaultPlan plan;
    std::string error;
  };
  std::vector<Case> cases = {
      // The third open is the patch step's, after a look at the first bytes (is it a zip
      // archive?) and identification.
      {plan(FileOp::kOpenRead, 3, testing::kDenied),
       step + "Couldn't open for read: " + in + " (" + testing::DeniedText() + ")"},
      {plan(FileOp::kWrite, 1, testing::kDiskFull),
       step + "Couldn't write output: " + out + " (" + testing::DiskFullText() + ")"},
      // The last read is the end of the result, read back for its digest.
      {plan(FileOp::kRead, counted.count(FileOp::kRead), testing::kIoError),
       "cannot read the result back to verify it: " + DescribeFileError(testing::kIoError)},
      {plan(FileOp::kRename, 1, testing::kDenied),
       "cannot move the result to " + out + ": " + testing::DeniedText()},
  };
#ifndef _WIN32
  cases.push_back({plan(FileOp::kMakeTemp, 1, testing::kDenied),
                   "cannot create a temporary file: " + testing::DeniedText()});
#endif
  for (Case& c : cases) {
    CliRun run;
    {
      ScopedFileFaultPlan scope(&c.plan);
      run = RunCommand(args);
    }
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "tarvelline-cli: " + c.error + "\n");
    EXPECT_EQ(CountFiles(dir_.path()), 1u);
    EXPECT_EQ(CountFiles(temp_), 0u);
  }
}

// The windows' checksums catch almost every wrong result first; this patch carries none and
// decodes cleanly, so only the final digest comparison stands between it and the user's file.
TEST_F(ConvertTest, AResultThatIsNotTheTargetIsNeverPutInPlace) {
  InitIwadCatalogue();
  Path input = Write(u"tnt_v19", "tnt.wad");
  const std::vector<uint8_t> target = Release(u"tnt_psnusa");
  // Each both with the result read back and with it hashed as it is decoded.
  for (int run = 0; run < 8; ++run) {
    const bool in_place = run & 1, wrong = run & 2, as_decoded = run & 4;
    SCOPED_TRACE(::testing::Message() << "in place " << in_place << ", wrong " << wrong
                                      << ", hashed as decoded " << as_decoded);
    testing::WindowBuilder window;
    window.indicator = 0;  // no source, no checksum
    std::vector<uint8_t> bytes = target;
    if (wrong) bytes[bytes.size() / 2] ^= 1;
    window.Add(bytes);
    const std::vector<uint8_t> patch = testing::EncodeStream({window});

    ConvertRequest request;
    request.input = input;
    request.source = FindIwadByReleaseId(u"tnt_v19");
    request.target = FindIwadByReleaseId(u"tnt_psnusa");
    request.output = in_place ? input : dir_ / "out.wad";
    request.temp_folder = temp_;
    request.verify_as_decoded = as_decoded;
    std::u16string asked;
    request.find_patch = [&](const char16_t* name, const uint8_t** data, uint32_t* length) {
      asked = name;
      *data = patch.data();
      *length = static_cast<uint32_t>(patch.size());
      return true;
    };
    ConvertReport report = ConvertRelease(request);
    EXPECT_EQ(asked, u"tnt_v19_to_tnt_psnusa");
    if (wrong) {
      EXPECT_EQ(report.status, ConvertStatus::kVerifyFailed);
      EXPECT_EQ(DescribeConvertFailure(report, request),
                "the result is not the target release (was the input changed after it was "
                "identified?)");
      EXPECT_EQ(testing::ReadFileBytes(input), Release(u"tnt_v19"));
      EXPECT_EQ(CountFiles(dir_.path()), 1u) << "no output, no temporary file";
    } else {
      EXPECT_EQ(report.status, ConvertStatus::kConverted);
      EXPECT_EQ(testing::ReadFileBytes(request.output), target);
      if (in_place) testing::WriteFileBytes(input, Release(u"tnt_v19"));
      std::filesystem::remove(dir_ / "out.wad");
    }
    EXPECT_EQ(CountFiles(temp_), 0u);
  }
}

// Hashed as decoded, a two-step route checks only the last step's output, the target.
TEST_F(ConvertTest, HashingAsDecodedChecksTheLastStepOfTwo) {
  InitIwadCatalogue();
  ConvertRequest request;
  request.input = Write(u"doom2_v1666", "doom2.wad");
  request.source = FindIwadByReleaseId(u"doom2_v1666");
  request.target = FindIwadByReleaseId(u"doom2_xbox");
  request.output = dir_ / "out.wad";
  request.temp_folder = temp_;
  request.verify_as_decoded = true;
  ConvertReport report = ConvertRelease(request);
  ASSERT_EQ(report.status, ConvertStatus::kConverted) << DescribeConvertFailure(report, request);
  EXPECT_EQ(testing::ReadFileBytes(request.output), Release(u"doom2_xbox"));
  EXPECT_EQ(CountFiles(temp_), 0u);
}

// Progress is told of each window once it is in the file, and stopping at any window leaves
// nothing behind, though the window after it may be on its way to the disk meanwhile.
TEST_F(ConvertTest, ProgressFollowsWrittenWindowsAndCanStopAtAny) {
  InitIwadCatalogue();
  Path input = Write(u"tnt_v19", "tnt.wad");
  const std::vector<uint8_t> target = Release(u"tnt_psnusa");
  std::vector<testing::WindowBuilder> windows(4);
  const size_t quarter = target.size() / 4;
  for (size_t i = 0; i < windows.size(); ++i) {
    windows[i].indicator = 0;
    const size_t end = i + 1 == windows.size() ? target.size() : (i + 1) * quarter;
    windows[i].Add({target.begin() + static_cast<ptrdiff_t>(i * quarter),
                    target.begin() + static_cast<ptrdiff_t>(end)});
  }
  const std::vector<uint8_t> patch = testing::EncodeStream(windows);

  for (size_t stop_at = 1; stop_at <= windows.size() + 1; ++stop_at) {
    SCOPED_TRACE(stop_at);
    ConvertRequest request;
    request.input = input;
    request.source = FindIwadByReleaseId(u"tnt_v19");
    request.target = FindIwadByReleaseId(u"tnt_psnusa");
    request.output = dir_ / "out.wad";
    request.temp_folder = temp_;
    request.find_patch = [&](const char16_t*, const uint8_t** data, uint32_t* length) {
      *data = patch.data();
      *length = static_cast<uint32_t>(patch.size());
      return true;
    };
    std::vector<uint64_t> reports;
    request.progress = [&](uint64_t written, uint64_t) {
      reports.push_back(written);
      if (reports.size() <= windows.size()) {
        uint64_t in_file = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
          if (entry.path().extension() == ".tmp") in_file += entry.file_size();
        }
        EXPECT_GE(in_file, written) << "told of a window before it was written";
      }
      return stop_at > windows.size() || reports.size() < stop_at;  // the last: never stop
    };
    const ConvertReport report = ConvertRelease(request);
    ASSERT_EQ(reports.size(), stop_at);
    for (size_t i = 0; i < reports.size() && i < windows.size(); ++i) {
      EXPECT_EQ(reports[i], i + 1 == windows.size() ? target.size() : (i + 1) * quarter);
    }
    if (stop_at <= windows.size()) {
      EXPECT_EQ(report.status, ConvertStatus::kCancelled);
      EXPECT_FALSE(std::filesystem::exists(request.output));
    } else {
      EXPECT_EQ(report.status, ConvertStatus::kConverted);
      EXPECT_EQ(testing::ReadFileBytes(request.output), target);
      std::filesystem::remove(request.output);
    }
    EXPECT_EQ(testing::ReadFileBytes(input), Release(u"tnt_v19"));
    EXPECT_EQ(CountFiles(dir_.path()), 1u) << "no temporary file";
    EXPECT_EQ(CountFiles(temp_), 0u);
  }
}

// A swap is one move: ended just before it, the user's file never left its path, and the next
// conversion in that folder finds nothing to put right.
TEST_F(ConvertTest, ASwapCutShortLosesNothing) {
  Path input = Write(u"doom2_xbox", "doom2.wad");
  {
    FileFaultPlan plan;
    plan.op = FileOp::kSwap;
    plan.nth = 1;
    plan.cut_short = true;
    ScopedFileFaultPlan installed(&plan);
    CliRun run = RunCommand({"convert", input.string(), "--to", "doom2_v1666", "--in-place"});
    EXPECT_NE(run.code, 0);
    EXPECT_TRUE(plan.hit);
  }
  EXPECT_EQ(testing::ReadFileBytes(input), Release(u"doom2_xbox"));
  EXPECT_EQ(testing::FileNames(dir_.path()), (std::set<std::string>{"doom2.wad", "temp"}));

  Path other = Write(u"doom2_v19", "other.wad");
  CliRun next = RunCommand(
      {"convert", other.string(), "--to", "doom2_xbox", "--output", (dir_ / "xbox.wad").string()});
  ASSERT_EQ(next.code, 0) << next.err;
  EXPECT_EQ(next.err, "");
}

// Earlier versions swapped in two moves on Windows, and one killed in between left the original
// as "<name>.tarvelline-backup" and the result as "<name>.tarvelline-new", with nothing at the
// path. The next conversion in that folder puts the original back, keeps the result under the
// name that says what it is, and says so.
TEST_F(ConvertTest, AnEarlierVersionsHalfDoneSwapIsPutRight) {
  const Path input = dir_ / "doom2.wad";
  Write(u"doom2_xbox", "doom2.wad.tarvelline-backup");
  Write(u"doom2_v1666", "doom2.wad.tarvelline-new");

  Path other = Write(u"doom2_v19", "other.wad");
  CliRun next = RunCommand(
      {"convert", other.string(), "--to", "doom2_xbox", "--output", (dir_ / "xbox.wad").string()});
  ASSERT_EQ(next.code, 0) << next.err;
  EXPECT_EQ(testing::ReadFileBytes(input), Release(u"doom2_xbox"));
  const Path converted = dir_ / "doom2.wad.tarvelline-new";
  EXPECT_EQ(testing::ReadFileBytes(converted), Release(u"doom2_v1666"));
  EXPECT_NE(next.err.find("it is back at " + input.string()), std::string::npos) << next.err;
  EXPECT_NE(next.err.find(converted.string()), std::string::npos) << next.err;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "doom2.wad.tarvelline-backup"));
}

// In place, the swap failing or ended at each of its steps: the path holds the original, whole,
// nothing else is left beside it, and the run says it failed.
TEST_F(ConvertTest, InPlaceSwapFailingAtEachStepKeepsTheOriginal) {
  struct Case {
    const char* name;
    FileOp op;
    bool cut_short;
  };
  const Case cases[] = {{"flush", FileOp::kFlush, false},
                        {"rename", FileOp::kRename, false},
                        {"swap", FileOp::kSwap, false},
                        {"swap cut short", FileOp::kSwap, true},
                        {"nothing", FileOp::kSwap, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool fails = std::string_view(c.name) != "nothing";
    Path input = Write(u"doom2_xbox", "doom2.wad");
    FileFaultPlan plan;
    plan.op = c.op;
    plan.nth = fails ? 1 : 0;
    plan.error = testing::kDenied;
    plan.cut_short = c.cut_short;
    CliRun run;
    {
      ScopedFileFaultPlan installed(&plan);
      run = RunCommand({"convert", input.string(), "--to", "doom2_v1666", "--in-place"});
    }
    EXPECT_EQ(plan.hit, fails);
    EXPECT_EQ(run.code, fails ? 1 : 0) << run.err;
    EXPECT_EQ(testing::ReadFileBytes(input), Release(fails ? u"doom2_xbox" : u"doom2_v1666"));
    EXPECT_EQ(testing::FileNames(dir_.path()), (std::set<std::string>{"doom2.wad", "temp"}));
    EXPECT_EQ(CountFiles(temp_), 0u);
  }
}

// An orphaned temporary file that holds a known release is kept under a name ending in ".wad",
// so that the open dialog shows it, and never over another kept one.
TEST_F(ConvertTest, OrphanedReleasesAreKeptAsWadFiles) {
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  for (const char* name : {"Tarvelline-00000000000000c1.tmp", "Tarvelline-00000000000000c2.tmp"}) {
    testing::WriteSyntheticRelease(temp_, u"doom2_v19", name);
    std::filesystem::last_write_time(temp_ / name, old);
  }
  testing::WriteFileText(temp_ / "Tarvelline-00000000000000c3.tmp", "half a file");
  std::filesystem::last_write_time(temp_ / "Tarvelline-00000000000000c3.tmp", old);
  testing::WriteFileText(temp_ / "doom2_v19.tarvelline-kept.wad", "kept by an earlier run");

  const LeftoverReport report = CleanUpLeftovers(temp_);
  EXPECT_EQ(report.removed, 1);
  ASSERT_EQ(report.kept.size(), 2u);
  std::set<std::string> kept;
  for (const KeptFile& file : report.kept) {
    kept.insert(file.file.filename().string());
    EXPECT_EQ(file.release, FindIwadByReleaseId(u"doom2_v19"));
    EXPECT_FALSE(file.restored);
    EXPECT_EQ(testing::ReadFileBytes(file.file), Release(u"doom2_v19"));
  }
  EXPECT_EQ(kept, (std::set<std::string>{"doom2_v19.tarvelline-kept-2.wad",
                                         "doom2_v19.tarvelline-kept-3.wad"}));
  EXPECT_EQ(testing::FileNames(temp_), (std::set<std::string>{"doom2_v19.tarvelline-kept.wad",
                                                              "doom2_v19.tarvelline-kept-2.wad",
                                                              "doom2_v19.tarvelline-kept-3.wad"}));
}

TEST_F(ConvertTest, UsageErrors) {
  for (const Args& args : std::vector<Args>{
           {"convert"},
           {"convert", "a.wad"},
           {"convert", "a.wad", "--to", "doom2_v19"},
           {"convert", "a.wad", "--to", "doom2_v19", "--in-place", "--output", "b.wad"}}) {
    EXPECT_EQ(RunCommand(args).code, 2) << args.size();
  }
}

}  // namespace
}  // namespace tvl::cli
