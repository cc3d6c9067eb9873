// Replacing one file by another and telling whether two paths are one file: what conversion in
// place relies on to never lose the user's file.
#include "platform/file_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "platform/file_faults.h"
#include "platform/write_beside.h"
#include "tests/platform/system_errors.h"
#include "tests/test_files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tvl {
namespace {

using testing::ReadFileBytes;
using testing::ScratchDir;
using testing::WriteFileText;
namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

void SetReadOnly(const Path& path, bool read_only) {
  const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(path, write, read_only ? fs::perm_options::remove : fs::perm_options::add);
}

TEST(FileOpsTest, MoveReplacesAnExistingFileAndKeepsItsPermissions) {
  ScratchDir dir;
  WriteFileText(dir / "user.wad", "old");
  WriteFileText(dir / "result.tmp", "new");
#ifndef _WIN32
  fs::permissions(dir / "user.wad",
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::permissions(dir / "result.tmp", fs::perms::owner_all);
#endif
  FileError error = 0;
  ASSERT_TRUE(MoveFileReplacing(dir / "result.tmp", dir / "user.wad", &error)) << error;
  EXPECT_EQ(ReadFileBytes(dir / "user.wad"), Bytes("new"));
  EXPECT_FALSE(fs::exists(dir / "result.tmp"));
#ifndef _WIN32
  EXPECT_EQ(fs::status(dir / "user.wad").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif

  // With nothing to replace, it is a plain move.
  ASSERT_TRUE(MoveFileReplacing(dir / "user.wad", dir / "moved.wad", &error)) << error;
  EXPECT_EQ(ReadFileBytes(dir / "moved.wad"), Bytes("new"));
  EXPECT_FALSE(fs::exists(dir / "user.wad"));
}

TEST(FileOpsTest, AFailedMoveLeavesBothFilesAsTheyWere) {
  ScratchDir dir;
  WriteFileText(dir / "user.wad", "old");
  FileError error = 0;
  EXPECT_FALSE(MoveFileReplacing(dir / "absent.tmp", dir / "user.wad", &error));
  EXPECT_EQ(error, testing::kNotFound);
  EXPECT_EQ(ReadFileBytes(dir / "user.wad"), Bytes("old"));

  WriteFileText(dir / "result.tmp", "new");
  EXPECT_FALSE(MoveFileReplacing(dir / "result.tmp", dir / "no" / "such" / "folder.wad", &error));
  EXPECT_NE(error, 0u);
  EXPECT_EQ(ReadFileBytes(dir / "result.tmp"), Bytes("new"));
}

// Whether a read-only file is replaced differs between systems (and Wine), so callers ask first.
std::vector<std::string> Names(const Path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A swap is one move: a program ended just before it leaves the old file at its path.
TEST(FileOpsTest, ASwapCutShortLeavesTheOldFileAtItsPath) {
  ScratchDir dir;
  WriteFileText(dir / "doom2.wad", "old");
  const Path result = MakeTempFile(dir.path());
  WriteFileText(result, "new");
  FileFaultPlan plan;
  plan.op = FileOp::kSwap;
  plan.nth = 1;
  plan.cut_short = true;
  {
    ScopedFileFaultPlan installed(&plan);
    EXPECT_FALSE(MoveFileReplacing(result, dir / "doom2.wad"));
  }
  EXPECT_TRUE(plan.hit);
  // One move, not yet made: the old file never left its name, and the new one is still where
  // it was written.
  EXPECT_EQ(ReadFileBytes(dir / "doom2.wad"), Bytes("old"));
  EXPECT_EQ(ReadFileBytes(result), Bytes("new"));

  // A swap that completes leaves nothing beside the file.
  WriteFileText(dir / "game.wad", "old");
  const Path next = MakeTempFile(dir.path());
  WriteFileText(next, "new");
  ASSERT_TRUE(MoveFileReplacing(next, dir / "game.wad"));
  EXPECT_EQ(ReadFileBytes(dir / "game.wad"), Bytes("new"));
  for (const std::string& name : Names(dir.path()))
    EXPECT_EQ(name.rfind("game.wad.", 0), std::string::npos) << name;
}

TEST(FileOpsTest, SwapNamesAreFreeAndTellTheirOrigin) {
  ScratchDir dir;
  EXPECT_EQ(FreeSiblingPath(dir / "a.wad", kSwapBackupSuffix), dir / "a.wad.tarvelline-backup");
  WriteFileText(dir / "a.wad.tarvelline-backup", "an earlier run's");
  EXPECT_EQ(FreeSiblingPath(dir / "a.wad", kSwapBackupSuffix), dir / "a.wad.tarvelline-backup-2");
  EXPECT_EQ(SiblingOrigin(dir / "a.wad.tarvelline-backup-2", kSwapBackupSuffix), dir / "a.wad");
  EXPECT_EQ(SiblingOrigin(dir / "a.wad.tarvelline-new", kSwapNewSuffix), dir / "a.wad");
  EXPECT_EQ(SiblingOrigin(dir / "a.wad.tarvelline-new-x", kSwapNewSuffix), Path());
  EXPECT_EQ(SiblingOrigin(dir / ".tarvelline-new", kSwapNewSuffix), Path());
  EXPECT_EQ(SiblingOrigin(dir / "a.wad", kSwapNewSuffix), Path());

  // Moving back never replaces what is there.
  WriteFileText(dir / "b.wad", "the user's");
  EXPECT_FALSE(MoveFileNoReplace(dir / "a.wad.tarvelline-backup", dir / "b.wad"));
  EXPECT_EQ(ReadFileBytes(dir / "b.wad"), Bytes("the user's"));
  EXPECT_TRUE(MoveFileNoReplace(dir / "a.wad.tarvelline-backup", dir / "a.wad"));
  EXPECT_EQ(ReadFileBytes(dir / "a.wad"), Bytes("an earlier run's"));
}

TEST(FileOpsTest, CanReplaceOnlyWritableFilesThatExist) {
  ScratchDir dir;
  WriteFileText(dir / "user.wad", "old");
  FileError error = 0;
  EXPECT_TRUE(CanReplaceFile(dir / "user.wad", &error)) << error;

  SetReadOnly(dir / "user.wad", true);
  EXPECT_FALSE(CanReplaceFile(dir / "user.wad", &error));
  EXPECT_EQ(error, testing::kDenied);
  SetReadOnly(dir / "user.wad", false);
  EXPECT_TRUE(CanReplaceFile(dir / "user.wad"));

  error = 0;
  EXPECT_FALSE(CanReplaceFile(dir / "absent.wad", &error));
  EXPECT_EQ(error, testing::kNotFound);

#ifdef _WIN32
  // Another program holding the file without delete sharing.
  HANDLE held = CreateFileW((dir / "user.wad").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  error = 0;
  EXPECT_FALSE(CanReplaceFile(dir / "user.wad", &error));
  EXPECT_NE(error, 0u);
  CloseHandle(held);
  EXPECT_TRUE(CanReplaceFile(dir / "user.wad"));
#endif
}

// What every writer of a whole file goes through: nothing at the path changes until the new
// bytes are complete, and nothing is left beside it on any way out.
TEST(FileOpsTest, WriteBesideChangesTheFileOnlyWhenPutInPlace) {
  ScratchDir dir;
  const Path target = dir / "user.wad";
  WriteFileText(target, "old");
  FileError error = 0;
  {
    WriteBeside abandoned;
    ASSERT_EQ(abandoned.Begin(target, &error), BesideStart::kReady) << error;
    EXPECT_EQ(abandoned.temp_path().parent_path(), dir.path());
    WriteFileText(abandoned.temp_path(), "half");
  }
  EXPECT_EQ(ReadFileBytes(target), Bytes("old"));
  EXPECT_EQ(testing::FileNames(dir.path()), (std::set<std::string>{"user.wad"}));

  {
    WriteBeside finished;
    ASSERT_EQ(finished.Begin(target, &error), BesideStart::kReady) << error;
    WriteFileText(finished.temp_path(), "new");
    ASSERT_TRUE(finished.PutInPlace(&error)) << error;
  }
  EXPECT_EQ(ReadFileBytes(target), Bytes("new"));
  EXPECT_EQ(testing::FileNames(dir.path()), (std::set<std::string>{"user.wad"}));

  // A read-only file is refused before anything is made; so is a folder that takes no file.
  SetReadOnly(target, true);
  WriteBeside refused;
  EXPECT_EQ(refused.Begin(target, &error), BesideStart::kCannotReplace);
  EXPECT_EQ(error, testing::kDenied);
  EXPECT_FALSE(WriteWholeFile(target, Bytes("newer"), &error));
  SetReadOnly(target, false);
  EXPECT_EQ(ReadFileBytes(target), Bytes("new"));
  WriteBeside nowhere;
  EXPECT_EQ(nowhere.Begin(dir / "absent" / "x.wad", &error), BesideStart::kNoTempFile);
  EXPECT_EQ(nowhere.folder(), dir / "absent");
  EXPECT_FALSE(nowhere.PutInPlace(&error));
  EXPECT_EQ(testing::FileNames(dir.path()), (std::set<std::string>{"user.wad"}));
}

TEST(FileOpsTest, SameFileByAnySpellingButNeverTwoFilesAlike) {
  ScratchDir dir;
  fs::create_directories(dir / "sub");
  WriteFileText(dir / "a.wad", "same");
  WriteFileText(dir / "b.wad", "same");
  const Path a = dir / "a.wad";

  EXPECT_TRUE(SameFile(a, a));
  EXPECT_TRUE(SameFile(a, dir / "sub" / ".." / "a.wad"));
  EXPECT_TRUE(SameFile(a, dir / "." / "a.wad"));
#ifdef _WIN32
  EXPECT_TRUE(SameFile(a, dir / "A.WAD"));
#endif
  std::error_code link_error;
  fs::create_hard_link(a, dir / "hard.wad", link_error);
  if (!link_error) {
    EXPECT_TRUE(SameFile(a, dir / "hard.wad"));
  }

  EXPECT_FALSE(SameFile(a, dir / "b.wad"));  // equal bytes, another file
  EXPECT_FALSE(SameFile(a, dir / "absent.wad"));
  EXPECT_FALSE(SameFile(dir / "absent.wad", a));
  EXPECT_FALSE(SameFile(dir / "absent.wad", dir / "absent.wad"));
}

}  // namespace
}  // namespace tvl
