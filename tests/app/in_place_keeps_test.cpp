// An in-place conversion replaces the file's bytes and keeps the rest of what the file had.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/file_ops.h"
#include "resources/main_window_ids.h"
#include "tests/app/synthetic_window_fixture.h"
#include "tests/synthetic/synthetic_releases.h"

namespace tvl::testing {
namespace {

bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

FILETIME CreationTime(const Path& file) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data);
  return data.ftCreationTime;
}

class InPlaceKeepsTest : public MainWindowTest {};

TEST_F(InPlaceKeepsTest, AttributesCreationTimeAndStreamsSurvive) {
  Path input = WriteSyntheticRelease(scratch_.path(), u"doom2_v1666", "input.wad");
  // Made long ago, hidden, with a stream of its own.
  HANDLE handle = CreateFileW(input.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  FILETIME long_ago = {0x12345678, 0x01d00000};
  ASSERT_TRUE(SetFileTime(handle, &long_ago, nullptr, nullptr));
  CloseHandle(handle);
  // Wine keeps no streams: its "file:tag" is a file of that name.
  const bool has_stream = !UnderWine() && [&] {
    HANDLE stream = CreateFileW((input.native() + L":tag").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(stream, "kept", 4, &written, nullptr);
    CloseHandle(stream);
    return true;
  }();
  ASSERT_TRUE(SetFileAttributesW(input.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));

  Open();
  Browse(input);
  ClickTarget(LineOf(u"Doom 2 retail v1.9"));
  SendMessageW(Item(IDC_IN_PLACE), BM_SETCHECK, BST_CHECKED, 0);
  ui_.AnswerMessage(IDYES);
  Click(IDC_PATCH);
  ASSERT_EQ(ui_.messages.size(), 2u);
  ASSERT_EQ(ui_.messages[1].text, L"IWAD patched successfully!");
  EXPECT_EQ(ReadFileBytes(input), Bytes(u"doom2_v19"));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(scratch_.path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"input.wad", "temp"}));

  if (UnderWine()) GTEST_SKIP() << "Wine's ReplaceFileW moves the file and keeps nothing else";
  EXPECT_TRUE(GetFileAttributesW(input.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  FILETIME created = CreationTime(input);
  EXPECT_EQ(created.dwLowDateTime, long_ago.dwLowDateTime);
  EXPECT_EQ(created.dwHighDateTime, long_ago.dwHighDateTime);
  if (has_stream) {
    std::vector<uint8_t> tag = ReadFileBytes(Path(input.native() + L":tag"));
    EXPECT_EQ(std::string(tag.begin(), tag.end()), "kept");
  }
}

TEST(LeftoverNamesTest, OnlyOurNamesAreOurs) {
  EXPECT_TRUE(IsOurTempFileName(L"Tarvelline-0123456789abcdef.tmp"));
  EXPECT_TRUE(IsOurTempFileName(L"Tarvelline-aB3xYz.tmp"));  // the POSIX form
  EXPECT_FALSE(IsOurTempFileName(L"Tarvelline-notes.txt"));
  EXPECT_FALSE(IsOurTempFileName(L"Tarvelline-.tmp"));
  EXPECT_FALSE(IsOurTempFileName(L"Tarvelline-0123-5678.tmp"));
  EXPECT_FALSE(IsOurTempFileName(L"tarvelline-0123456789abcdef.tmp"));
  EXPECT_FALSE(IsOurTempFileName(L"Tarvelline-0123456789abcdef0.tmp"));
  EXPECT_FALSE(IsOurTempFileName(L"my Tarvelline-0123456789abcdef.tmp"));
}

}  // namespace
}  // namespace tvl::testing
