// The fault seam: each kind of operation fails at the count asked for, changes nothing when it
// does, and leaves every other operation working.
#include "platform/file_faults.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_ops.h"
#include "tests/test_files.h"

namespace tvl {
namespace {

using testing::ReadFileBytes;
using testing::ScratchDir;
using testing::WriteFileText;

constexpr FileError kInjected = 4242;

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TEST(FileFaultsTest, CountsEveryKindAndFailsOnlyTheNthOfTheChosenOne) {
  ScratchDir dir;
  WriteFileText(dir / "a", "abc");
  FileFaultPlan plan{.op = FileOp::kOpenRead, .nth = 2, .error = kInjected};
  ScopedFileFaultPlan scope(&plan);

  FileError error = 0;
  File first = File::OpenForRead(dir / "a", &error);
  EXPECT_TRUE(first.is_open());
  EXPECT_FALSE(plan.hit);
  File second = File::OpenForRead(dir / "a", &error);
  EXPECT_FALSE(second.is_open());
  EXPECT_EQ(error, kInjected);
  EXPECT_TRUE(plan.hit);
  EXPECT_TRUE(File::OpenForRead(dir / "a").is_open()) << "only the nth fails";

  char buffer[8];
  EXPECT_EQ(first.Read(buffer, sizeof buffer), 3);
  EXPECT_TRUE(first.Close());
  File out = File::CreateForWrite(dir / "b");
  EXPECT_EQ(out.Write("xy", 2), 2u);
  EXPECT_TRUE(out.Close());
  EXPECT_TRUE(MoveFileReplacing(dir / "b", dir / "c"));
  EXPECT_TRUE(RemoveFile(dir / "c"));

  EXPECT_EQ(plan.count(FileOp::kOpenRead), 3u);
  EXPECT_EQ(plan.count(FileOp::kRead), 1u);
  EXPECT_EQ(plan.count(FileOp::kCreate), 1u);
  EXPECT_EQ(plan.count(FileOp::kWrite), 1u);
  EXPECT_EQ(plan.count(FileOp::kClose), 3u) << "closing an unopened file is no operation";
  EXPECT_EQ(plan.count(FileOp::kRename), 1u);
  EXPECT_EQ(plan.count(FileOp::kRemove), 1u);
}

TEST(FileFaultsTest, AFailedOperationChangesNothing) {
  ScratchDir dir;
  auto fail_first = [](FileOp op) { return FileFaultPlan{.op = op, .nth = 1, .error = kInjected}; };
  WriteFileText(dir / "old", "old");
  WriteFileText(dir / "new", "new");
  FileError error = 0;
  for (const char* name : {"old", "absent"}) {
    FileFaultPlan plan = fail_first(FileOp::kCreate);
    ScopedFileFaultPlan scope(&plan);
    error = 0;
    EXPECT_FALSE(File::CreateForWrite(dir / name, &error).is_open());
    EXPECT_EQ(error, kInjected);
  }
  EXPECT_EQ(ReadFileBytes(dir / "old"), Bytes("old")) << "not truncated";
  EXPECT_FALSE(std::filesystem::exists(dir / "absent"));
  {
    FileFaultPlan plan = fail_first(FileOp::kWrite);
    File file = File::CreateForWrite(dir / "written");
    ScopedFileFaultPlan scope(&plan);
    error = 0;
    EXPECT_EQ(file.Write("abc", 3, &error), 0u);
    EXPECT_EQ(error, kInjected);
    EXPECT_EQ(file.Write("de", 2), 2u);
  }
  EXPECT_EQ(ReadFileBytes(dir / "written"), Bytes("de"));
  {
    FileFaultPlan plan = fail_first(FileOp::kClose);
    File file = File::CreateForWrite(dir / "closed");
    ScopedFileFaultPlan scope(&plan);
    error = 0;
    EXPECT_FALSE(file.Close(&error));
    EXPECT_EQ(error, kInjected);
    EXPECT_FALSE(file.is_open());
  }
  // The handle was let go all the same: the file can be replaced and removed.
  EXPECT_TRUE(RemoveFile(dir / "closed"));
#ifdef _WIN32
  // The move itself writes through to the disk; there is no separate flush to fail.
  const FileOp move_ops[] = {FileOp::kRename};
#else
  const FileOp move_ops[] = {FileOp::kRename, FileOp::kFlush};
#endif
  for (FileOp op : move_ops) {
    FileFaultPlan plan = fail_first(op);
    ScopedFileFaultPlan scope(&plan);
    error = 0;
    EXPECT_FALSE(MoveFileReplacing(dir / "new", dir / "old", &error));
    EXPECT_EQ(error, kInjected);
    EXPECT_TRUE(plan.hit);
  }
  EXPECT_EQ(ReadFileBytes(dir / "old"), Bytes("old"));
  EXPECT_EQ(ReadFileBytes(dir / "new"), Bytes("new"));
  {
    FileFaultPlan plan = fail_first(FileOp::kRemove);
    ScopedFileFaultPlan scope(&plan);
    EXPECT_FALSE(RemoveFile(dir / "new", &error));
  }
  EXPECT_TRUE(std::filesystem::exists(dir / "new"));
#ifndef _WIN32
  {
    FileFaultPlan plan = fail_first(FileOp::kMakeTemp);
    ScopedFileFaultPlan scope(&plan);
    EXPECT_TRUE(MakeTempFile(dir.path(), &error).empty());
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
#endif
}

TEST(FileFaultsTest, ReadsCanFailOnceOrFindTheFileCutShort) {
  ScratchDir dir;
  WriteFileText(dir / "a", std::string(100, 'a'));
  char buffer[10];
  {
    FileFaultPlan plan{.op = FileOp::kRead, .nth = 2, .error = kInjected};
    File file = File::OpenForRead(dir / "a");
    ScopedFileFaultPlan scope(&plan);
    FileError error = 0;
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 10);
    EXPECT_EQ(file.Read(buffer, sizeof buffer, &error), -1);
    EXPECT_EQ(error, kInjected);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 10);
  }
  {
    FileFaultPlan plan{.op = FileOp::kRead, .nth = 3, .end_of_file = true};
    File file = File::OpenForRead(dir / "a");
    ScopedFileFaultPlan scope(&plan);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 10);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 10);
    EXPECT_FALSE(plan.hit);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
    EXPECT_TRUE(plan.hit);
  }
  // Without a plan nothing is counted or failed.
  File file = File::OpenForRead(dir / "a");
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 10);
}

}  // namespace
}  // namespace tvl
