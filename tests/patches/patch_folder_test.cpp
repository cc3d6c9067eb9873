#include "patches/patch_folder.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/file_faults.h"
#include "tests/platform/system_errors.h"
#include "tests/test_files.h"

namespace tvl {
namespace {

// Outputs start full so that every failure has to empty them.
const std::vector<uint8_t> kStale(7, 0xEE);

TEST(ReadFolderPatchTest, ReadsTheWholeFileAcrossManyReads) {
  testing::ScratchDir dir;
  for (size_t size : {size_t{0}, size_t{1}, size_t{1} << 20, (size_t{5} << 19) + 3}) {
    const std::vector<uint8_t> bytes = testing::RandomBytes(size, 7);
    const Path file = FolderPatchPath(dir.path(), u"doom2_v1666_to_doom2_v19");
    EXPECT_EQ(file, dir / "doom2_v1666_to_doom2_v19.vcdiff");
    testing::WriteFileBytes(file, bytes);
    std::vector<uint8_t> read = kStale;
    ASSERT_EQ(ReadFolderPatch(file, &read), FolderPatchStatus::kRead) << size;
    EXPECT_EQ(read, bytes) << size;
  }
}

TEST(ReadFolderPatchTest, NoFileAndAFolderOfThatNameAreAbsent) {
  testing::ScratchDir dir;
  std::filesystem::create_directories(dir / "a_v1_to_a_v2.vcdiff");
  for (const Path& file : {dir / "missing.vcdiff", dir / "a_v1_to_a_v2.vcdiff"}) {
    std::vector<uint8_t> read = kStale;
    EXPECT_EQ(ReadFolderPatch(file, &read), FolderPatchStatus::kAbsent);
    EXPECT_TRUE(read.empty());
  }
}

TEST(ReadFolderPatchTest, RefusesAFileLargerThanAnyPatchWithoutReadingIt) {
  testing::ScratchDir dir;
  const Path file = dir / "big.vcdiff";
  testing::WriteFileBytes(file, {});
  // Sparse where the system allows it.
  std::filesystem::resize_file(file, kMaxFolderPatchSize + 1);
  FileFaultPlan counted;
  std::vector<uint8_t> read = kStale;
  {
    ScopedFileFaultPlan scope(&counted);
    EXPECT_EQ(ReadFolderPatch(file, &read), FolderPatchStatus::kTooLarge);
  }
  EXPECT_TRUE(read.empty());
  EXPECT_EQ(counted.count(FileOp::kRead), 0u);

  // The largest allowed size is read.
  std::filesystem::resize_file(file, kMaxFolderPatchSize);
  EXPECT_EQ(ReadFolderPatch(file, &read), FolderPatchStatus::kRead);
  EXPECT_EQ(read.size(), kMaxFolderPatchSize);
}

TEST(ReadFolderPatchTest, OpenAndReadFailuresCarryTheSystemsError) {
  testing::ScratchDir dir;
  const Path file = dir / "p.vcdiff";
  testing::WriteFileBytes(file, testing::RandomBytes(3 << 20, 1));
  for (FileOp op : {FileOp::kOpenRead, FileOp::kRead}) {
    for (uint64_t nth : {uint64_t{1}, uint64_t{3}}) {
      if (op == FileOp::kOpenRead && nth > 1) continue;
      FileFaultPlan plan;
      plan.op = op;
      plan.nth = nth;
      plan.error = testing::kIoError;
      std::vector<uint8_t> read = kStale;
      FileError error = 0;
      {
        ScopedFileFaultPlan scope(&plan);
        EXPECT_EQ(ReadFolderPatch(file, &read, &error), FolderPatchStatus::kReadFailed);
      }
      EXPECT_TRUE(plan.hit);
      EXPECT_EQ(error, testing::kIoError);
      EXPECT_TRUE(read.empty()) << "no partial patch is handed on";
    }
  }
}

// The test store holds doom2_v19_to_doom2_xbox and not its reverse.
TEST(LocatePatchTest, TheBuiltInStoreWinsThenTheFolder) {
  testing::ScratchDir dir;
  EXPECT_EQ(LocatePatch(u"doom2_v19_to_doom2_xbox", Path()), PatchOrigin::kBuiltIn);
  EXPECT_EQ(LocatePatch(u"doom2_xbox_to_doom2_v19", Path()), PatchOrigin::kMissing);
  EXPECT_EQ(LocatePatch(u"doom2_xbox_to_doom2_v19", dir.path()), PatchOrigin::kMissing);
  EXPECT_EQ(LocatePatch(u"doom2_xbox_to_doom2_v19", dir / "no_such_folder"), PatchOrigin::kMissing);

  testing::WriteFileText(dir / "doom2_xbox_to_doom2_v19.vcdiff", "x");
  testing::WriteFileText(dir / "doom2_v19_to_doom2_xbox.vcdiff", "x");
  std::filesystem::create_directories(dir / "doom2_v19_to_doom2_zodiac.vcdiff");
  testing::WriteFileText(dir / "doom2_v19_to_doom2_v1666", "no extension");
  EXPECT_EQ(LocatePatch(u"doom2_xbox_to_doom2_v19", dir.path()), PatchOrigin::kFolder);
  EXPECT_EQ(LocatePatch(u"doom2_v19_to_doom2_xbox", dir.path()), PatchOrigin::kBuiltIn);
  EXPECT_EQ(LocatePatch(u"doom2_v19_to_doom2_zodiac", dir.path()), PatchOrigin::kMissing);
  EXPECT_EQ(LocatePatch(u"doom2_v19_to_doom2_v1666", dir.path()), PatchOrigin::kMissing);
}

}  // namespace
}  // namespace tvl
