// Conversions and apply with a file operation failing at every point it can: whatever fails,
// the user's files hold either what they held before or the verified result, a failure is
// reported as one, and no temporary file is left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "patches/patch_directory.h"
#include "platform/file_faults.h"
#include "tests/cli/cli_files.h"
#include "tests/cli/cli_run.h"
#include "tests/platform/system_errors.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"
#include "tests/zip_maker.h"

namespace tvl::cli {
namespace {

using Files = std::map<std::string, std::vector<uint8_t>>;

struct Fault {
  const char* name;
  FileOp op;
  FileError error;
  bool end_of_file = false;  // reads find the file cut short instead of failing
  // Whether every hit must fail the run. A failed close of a file that was only read loses
  // nothing, nor does a temporary file that can't be removed; a file cut short at its very end
  // is whole.
  bool must_fail = true;
  bool cut_short = false;  // a swap stops just before its move, as when the program is ended
};

const Fault kFaults[] = {
    {"open", FileOp::kOpenRead, testing::kDenied},
    {"create", FileOp::kCreate, testing::kDenied},
    {"read", FileOp::kRead, testing::kIoError},
    {"read cut short", FileOp::kRead, 0, true, false},
    {"write", FileOp::kWrite, testing::kDiskFull},
    {"close", FileOp::kClose, testing::kDiskFull, false, false},
    {"flush", FileOp::kFlush, testing::kDiskFull},
    {"rename", FileOp::kRename, testing::kDenied},
    {"swap", FileOp::kSwap, testing::kDenied},
    {"swap cut short", FileOp::kSwap, 0, false, true, true},
    {"temporary file", FileOp::kMakeTemp, testing::kDenied},
    {"remove", FileOp::kRemove, testing::kDenied, false, false},
};

// Which operations of a kind to fail, given how many a clean run makes. Every one, except for
// the reads of the 9 MiB releases, which number in the thousands and mostly fail alike in the
// middle of a file: there every one near either end, and a sample in between.
std::vector<uint64_t> FaultPoints(uint64_t total) {
  constexpr uint64_t kAll = 400, kEnds = 16, kSamples = 40;
  std::vector<uint64_t> points;
  for (uint64_t n = 1; n <= total; ++n) {
    const bool near_end = n <= kEnds || n + kEnds > total;
    if (total <= kAll || near_end || (n - kEnds) % ((total - 2 * kEnds) / kSamples + 1) == 0) {
      points.push_back(n);
    }
  }
  return points;
}

class FaultTest : public ::testing::Test {
 protected:
  std::string PathOf(const char* name) const { return (dir_ / name).string(); }

  // The regular files of a folder, with their bytes.
  static Files Contents(const Path& folder) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.is_regular_file()) {
        files[entry.path().filename().string()] = testing::ReadFileBytes(entry.path());
      }
    }
    return files;
  }

  void Prepare(const Files& before) {
    for (const Path& folder : {dir_.path(), temp_}) {
      for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) std::filesystem::remove(entry.path());
      }
    }
    for (const auto& [name, bytes] : before) testing::WriteFileBytes(dir_ / name, bytes);
  }

  // Runs `args` once cleanly, to count the operations, then once per fault point of every kind.
  // `before` is what the folder holds at the start of each run, `after` what it holds once the
  // run has succeeded.
  void RunWithEveryFault(const Args& args, const Files& before, const Files& after) {
    Prepare(before);
    FileFaultPlan counted;
    const CliRun clean = RunCommand(args, &counted);
    ASSERT_EQ(clean.code, 0) << clean.err;
    ASSERT_EQ(Contents(dir_.path()), after);

    for (const Fault& fault : kFaults) {
      const uint64_t total = counted.count(fault.op);
      std::vector<uint64_t> points = FaultPoints(total);
      points.push_back(total + 1);  // past the last: the run must succeed untouched
      size_t failed_runs = 0;
      for (uint64_t n : points) {
        SCOPED_TRACE(::testing::Message() << fault.name << " " << n << " of " << total);
        Prepare(before);
        FileFaultPlan plan{.op = fault.op,
                           .nth = n,
                           .error = fault.error,
                           .end_of_file = fault.end_of_file,
                           .cut_short = fault.cut_short};
        const CliRun run = RunCommand(args, &plan);
        ASSERT_EQ(plan.hit, n <= total);
        if (!plan.hit || !fault.must_fail) {
          ASSERT_TRUE(run.code == 0 || run.code == 1) << run.err;
        } else {
          ASSERT_EQ(run.code, 1) << "a failure reported as success";
        }
        if (run.code == 1) {
          ++failed_runs;
          EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        }

        Files now = Contents(dir_.path());
        Files temp = Contents(temp_);
        if (plan.hit && fault.op == FileOp::kRemove) {
          // The one file the system refused to remove stays, wherever it was made.
          size_t leftovers = temp.size();
          temp.clear();
          for (auto it = now.begin(); it != now.end();) {
            const bool expected = before.count(it->first) || after.count(it->first);
            it = expected ? std::next(it) : (++leftovers, now.erase(it));
          }
          EXPECT_LE(leftovers, 1u);
        }
        ASSERT_EQ(now, run.code == 0 ? after : before) << run.err;
        ASSERT_TRUE(temp.empty()) << "a temporary file was left behind";
      }
      if (fault.must_fail) {
        EXPECT_EQ(failed_runs, points.size() - 1) << fault.name;
      }
    }
  }

  testing::ScratchDir dir_;
  Path temp_ = dir_ / "temp";
  testing::ScopedTempFolder temp_folder_{temp_};
};

TEST_F(FaultTest, ConvertToANewFile) {
  RunWithEveryFault(
      {"convert", PathOf("tnt.wad"), "--to", "tnt_psnusa", "--output", PathOf("psx.wad")},
      {{"tnt.wad", Release(u"tnt_v19")}},
      {{"tnt.wad", Release(u"tnt_v19")}, {"psx.wad", Release(u"tnt_psnusa")}});
}

TEST_F(FaultTest, ConvertInPlace) {
  RunWithEveryFault({"convert", PathOf("tnt.wad"), "--to", "tnt_v19", "--in-place"},
                    {{"tnt.wad", Release(u"tnt_psnusa")}}, {{"tnt.wad", Release(u"tnt_v19")}});
}

TEST_F(FaultTest, ConvertInTwoStepsOverAnExistingFile) {
  const std::vector<uint8_t> old = testing::RandomBytes(3000, 31);
  RunWithEveryFault(
      {"convert", PathOf("doom2.wad"), "--to", "doom2_xbox", "--output", PathOf("xbox.wad")},
      {{"doom2.wad", Release(u"doom2_v1666")}, {"xbox.wad", old}},
      {{"doom2.wad", Release(u"doom2_v1666")}, {"xbox.wad", Release(u"doom2_xbox")}});
}

// The entry is unpacked into the temporary folder first: that file goes whatever fails, and the
// archive is only read.
TEST_F(FaultTest, ConvertFromAZipArchive) {
  const std::vector<uint8_t> tnt = Release(u"tnt_v19");
  const std::vector<uint8_t> zip = testing::MakeTestZip({{"readme.txt", {}}, {"TNT.WAD", tnt}});
  RunWithEveryFault(
      {"convert", PathOf("tnt.zip"), "--to", "tnt_psnusa", "--output", PathOf("psx.wad")},
      {{"tnt.zip", zip}}, {{"tnt.zip", zip}, {"psx.wad", Release(u"tnt_psnusa")}});
}

TEST_F(FaultTest, ApplyOverAnExistingFile) {
  const uint8_t* data = nullptr;
  uint32_t length = 0;
  ASSERT_TRUE(FindPatch(u"tnt_v19_to_tnt_psnusa", &data, &length));
  const std::vector<uint8_t> patch(data, data + length);
  const std::vector<uint8_t> old = testing::RandomBytes(3000, 32);
  RunWithEveryFault(
      {"apply", "--patch", PathOf("p.vcdiff"), "--source", PathOf("tnt.wad"), "--output",
       PathOf("out.wad")},
      {{"p.vcdiff", patch}, {"tnt.wad", Release(u"tnt_v19")}, {"out.wad", old}},
      {{"p.vcdiff", patch}, {"tnt.wad", Release(u"tnt_v19")}, {"out.wad", Release(u"tnt_psnusa")}});
}

}  // namespace
}  // namespace tvl::cli
