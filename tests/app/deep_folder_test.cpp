// The window and Patch! on files in a folder deeper than the system's usual path limit: chosen,
// identified, converted into a new file and in place, with no temporary file left behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "resources/main_window_ids.h"
#include "tests/app/main_window_fixture.h"
#include "tests/platform/deep_folder_win32.h"
#include "tests/synthetic/synthetic_releases.h"

namespace tvl::testing {
namespace {

std::vector<uint8_t> Bytes(std::u16string_view id) {
  auto bytes = SyntheticReleaseBytes(id);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

class DeepFolderTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    deep_.emplace(scratch_.path(), 300);
    ASSERT_GT(deep_->path().native().size(), 300u);
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    deep_.reset();
  }

  // Chooses release `id` (written into the deep folder as input.wad) with "..." and selects
  // `target`.
  void Prepare(std::u16string_view id, std::u16string_view target) {
    input_ = WriteSyntheticRelease(deep_->path(), id, "input.wad");
    Open();
    Browse(input_);
    ASSERT_TRUE(ui_.messages.empty());
    ASSERT_EQ(ItemText(window_, IDC_INPUT_PATH), input_.native());
    int line = LineOf(GetIwad(FindIwadByReleaseId(target)).title);
    ASSERT_GE(line, 0);
    ClickTarget(line);
    ASSERT_TRUE(ItemEnabled(window_, IDC_PATCH));
  }

  void ExpectSuccessOnly(size_t messages) {
    ASSERT_EQ(ui_.messages.size(), messages);
    EXPECT_EQ(ui_.messages.back().text, L"IWAD patched successfully!");
  }

  // Nothing but `names` in the deep folder, and nothing in the temporary folder.
  void ExpectOnly(const std::vector<std::wstring>& names) {
    EXPECT_EQ(deep_->Names(), names);
    for (const Path& temp : ui_.temp_files) EXPECT_FALSE(DeepFolder::Exists(temp));
    EXPECT_TRUE(std::filesystem::is_empty(scratch_.path() / "temp"));
  }

  std::optional<DeepFolder> deep_;
  Path input_;
};

TEST_F(DeepFolderTest, OpenDialogHasRoomForTheLongestPath) {
  Open();
  Browse(Path(L"C:\\" + std::wstring(400, L'x') + L".wad"));
  ASSERT_EQ(ui_.open_dialogs.size(), 1u);
  EXPECT_EQ(ui_.open_dialogs[0].capacity, kFileDialogCapacity);
  // Not there, so not identified; but whole in the input box.
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH).size(), 407u);
}

TEST_F(DeepFolderTest, InPlaceThroughTheBase) {
  Prepare(u"doom2_xbox", u"doom2_zodiac");
  SendMessageW(Item(IDC_IN_PLACE), BM_SETCHECK, BST_CHECKED, 0);
  ui_.AnswerMessage(IDYES);
  Click(IDC_PATCH);
  ExpectSuccessOnly(2);
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_zodiac"));
  ExpectOnly({L"input.wad"});
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 (Zodiac)");
}

TEST_F(DeepFolderTest, IntoANewFileBesideTheInput) {
  Prepare(u"doom2_v1666", u"doom2_v19");
  ui_.ChooseFile(deep_->path() / L"doom2-v19.wad");
  Click(IDC_PATCH);
  ExpectSuccessOnly(1);
  EXPECT_EQ(ReadFileBytes(deep_->path() / L"doom2-v19.wad"), Bytes(u"doom2_v19"));
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v1666"));
  ExpectOnly({L"doom2-v19.wad", L"input.wad"});
}

}  // namespace
}  // namespace tvl::testing
