// Replacing one file by another and telling whether two paths are one file: what conversion in
// place relies on to never lose the user's file.
#include "platform/file_ops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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
