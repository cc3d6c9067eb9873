// Temporary files and long paths on Windows: names of our own, collisions, and folders deeper
// than the system's usual limit.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_ops.h"
#include "platform/long_path_win32.h"
#include "platform/temp_file_win32.h"
#include "tests/platform/deep_folder_win32.h"
#include "tests/test_files.h"

namespace tvl {
namespace {

using testing::DeepFolder;
using testing::ScratchDir;

// Hands out `values` in order, counting the draws.
struct ScriptedRandom {
  std::vector<uint64_t> values;
  size_t draws = 0;
  uint64_t operator()() { return values[std::min(draws++, values.size() - 1)]; }
};

std::vector<std::wstring> Names(const Path& folder) {
  std::vector<std::wstring> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().native());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(TempFileTest, NamesAreOursWithSixteenHexDigits) {
  EXPECT_EQ(TempFileName(0), L"Tarvelline-0000000000000000.tmp");
  EXPECT_EQ(TempFileName(0x0123456789abcdefu), L"Tarvelline-0123456789abcdef.tmp");
  EXPECT_EQ(TempFileName(~uint64_t{0}), L"Tarvelline-ffffffffffffffff.tmp");
  // The system's generator, not a counter: two draws differ.
  EXPECT_NE(SystemRandom64(), SystemRandom64());
}

TEST(TempFileTest, TakenNameIsNeverOpenedAndAnotherIsDrawn) {
  ScratchDir dir;
  testing::WriteFileText(dir / "Tarvelline-0000000000000001.tmp", "someone else's");
  ScriptedRandom random{{1, 1, 2}};
  FileError error = 0;
  Path made = MakeTempFileFrom(dir.path(), std::ref(random), &error);
  EXPECT_EQ(made, dir.path() / L"Tarvelline-0000000000000002.tmp");
  EXPECT_EQ(random.draws, 3u);
  EXPECT_EQ(std::filesystem::file_size(made), 0u);
  std::vector<uint8_t> kept = testing::ReadFileBytes(dir / "Tarvelline-0000000000000001.tmp");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "someone else's");
}

TEST(TempFileTest, GivesUpAfterBoundedCollisionsOrAtOnceOnOtherFailures) {
  ScratchDir dir;
  testing::WriteFileText(dir / "Tarvelline-0000000000000007.tmp", "x");
  ScriptedRandom always_taken{{7}};
  FileError error = 0;
  EXPECT_TRUE(MakeTempFileFrom(dir.path(), std::ref(always_taken), &error).empty());
  EXPECT_EQ(error, FileError{ERROR_FILE_EXISTS});
  EXPECT_EQ(always_taken.draws, size_t{kTempFileAttempts});
  EXPECT_EQ(Names(dir.path()), std::vector<std::wstring>{L"Tarvelline-0000000000000007.tmp"});

  // A folder that is not there fails the same way for every name: one try is enough.
  ScriptedRandom random{{1, 2, 3}};
  error = 0;
  EXPECT_TRUE(MakeTempFileFrom(dir / "missing", std::ref(random), &error).empty());
  EXPECT_EQ(error, FileError{ERROR_PATH_NOT_FOUND});
  EXPECT_EQ(random.draws, 1u);
}

TEST(TempFileTest, DeepFolderGetsItsFileWithoutOverrun) {
  ScratchDir dir;
  DeepFolder deep(dir.path(), 320);
  ASSERT_GT(deep.path().native().size(), 320u);
  FileError error = 0;
  Path first = MakeTempFile(deep.path(), &error);
  Path second = MakeTempFile(deep.path(), &error);
  ASSERT_FALSE(first.empty()) << error;
  ASSERT_FALSE(second.empty()) << error;
  EXPECT_NE(first, second);
  // In the plain form, beside nothing else.
  EXPECT_EQ(first.parent_path(), deep.path());
  EXPECT_EQ(first.native().rfind(L"\\\\?\\", 0), std::wstring::npos);
  std::vector<std::wstring> names = deep.Names();
  ASSERT_EQ(names.size(), 2u);
  for (const std::wstring& name : names) {
    EXPECT_EQ(name.rfind(L"Tarvelline-", 0), 0u);
    EXPECT_EQ(name.size(), std::wstring(L"Tarvelline-0123456789abcdef.tmp").size());
  }
}

TEST(LongPathTest, OnlyLongPathsTakeTheExtendedForm) {
  EXPECT_EQ(Win32Path(Path(L"C:\\Games\\doom2.wad")), L"C:\\Games\\doom2.wad");
  EXPECT_EQ(Win32Path(Path()), L"");

  std::wstring folder = L"C:\\" + std::wstring(150, L'a') + L"\\" + std::wstring(150, L'b');
  EXPECT_EQ(Win32Path(Path(folder + L"\\doom2.wad")), L"\\\\?\\" + folder + L"\\doom2.wad");
  // The system takes the extended form as it is, so it must arrive normalised.
  EXPECT_EQ(Win32Path(Path(folder + L"/x/../doom2.wad")), L"\\\\?\\" + folder + L"\\doom2.wad");
  std::wstring share = L"\\\\server\\share\\" + std::wstring(250, L's') + L"\\doom2.wad";
  EXPECT_EQ(Win32Path(Path(share)), L"\\\\?\\UNC\\" + share.substr(2));
  // Already extended, or a device: left alone.
  std::wstring extended = L"\\\\?\\" + folder + L"\\doom2.wad";
  EXPECT_EQ(Win32Path(Path(extended)), extended);
  EXPECT_EQ(Win32Path(Path(L"\\\\.\\NUL")), L"\\\\.\\NUL");
}

// The one-move replace loses no more of the old file than users would notice: its attributes and
// the time it was made go to the new bytes.
TEST(MoveFileReplacingTest, KeepsTheReplacedFilesAttributesAndCreationTime) {
  ScratchDir dir;
  const Path old_file = dir / "doom2.wad";
  testing::WriteFileText(old_file, "old");
  const FILETIME made = {0x12345678, 0x01d00000};  // 2014
  {
    HANDLE handle = CreateFileW(old_file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(handle, &made, nullptr, nullptr));
    CloseHandle(handle);
  }
  ASSERT_TRUE(SetFileAttributesW(old_file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  // Wine on a Linux file system takes a creation time and forgets it: there is nothing to keep.
  WIN32_FILE_ATTRIBUTE_DATA before;
  ASSERT_TRUE(GetFileAttributesExW(old_file.c_str(), GetFileExInfoStandard, &before));
  const bool system_keeps_creation_time = CompareFileTime(&before.ftCreationTime, &made) == 0;
  const Path new_file = MakeTempFile(dir.path());
  testing::WriteFileText(new_file, "new");

  ASSERT_TRUE(MoveFileReplacing(new_file, old_file));
  const std::vector<uint8_t> bytes = testing::ReadFileBytes(old_file);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
  EXPECT_EQ(Names(dir.path()), std::vector<std::wstring>{L"doom2.wad"});
  WIN32_FILE_ATTRIBUTE_DATA now;
  ASSERT_TRUE(GetFileAttributesExW(old_file.c_str(), GetFileExInfoStandard, &now));
  EXPECT_TRUE(now.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
  if (system_keeps_creation_time) {
    EXPECT_EQ(CompareFileTime(&now.ftCreationTime, &made), 0);
  }
}

}  // namespace
}  // namespace tvl
