// The main window's Find IWADs: reached from its button and its system menu, searching a Steam
// installation made up in the test prefix (the registry's SteamPath, libraryfolders.vdf and a
// second library), and opening what the user picks as a drop would.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/identify_step.h"
#include "app/program.h"
#include "catalogue/catalogue.h"
#include "platform/wide_text.h"
#include "resources/main_window_ids.h"
#include "tests/app/main_window_fixture.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/ui/find_iwads_probe.h"
#include "tests/ui/modal_dialog.h"
#include "tests/zip_maker.h"

namespace tvl::testing {
namespace {

constexpr wchar_t kSteamKey[] = L"Software\\Valve\\Steam";

// A Steam installation and a second library in the scratch folder, named where the places code
// reads them: HKCU\Software\Valve\Steam's SteamPath, and the installation's libraryfolders.vdf.
class FindIwadsTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    const Path steam = scratch_ / "Steam";
    const Path library = scratch_ / "Games Library";
    const Path doom2_folder = steam / "steamapps" / "common" / "Doom 2" / "base";
    const Path final_folder = library / "steamapps" / "common" / "Final Doom" / "base";
    std::filesystem::create_directories(doom2_folder);
    std::filesystem::create_directories(final_folder);
    doom2_ = WriteSyntheticRelease(doom2_folder, u"doom2_v19", "DOOM2.WAD");
    archive_ = WriteTestZip(final_folder / "iwads.zip",
                            {{"TNT.WAD", SyntheticReleaseBytes(u"tnt_v19")},
                             {"extra/ZODIAC.WAD", SyntheticReleaseBytes(u"doom2_zodiac")}});
    // Backslashes are escaped in Steam's files.
    std::string library_text;
    for (char c : PathToUtf8(library)) {
      if (c == '\\') library_text += '\\';
      library_text += c;
    }
    WriteFileText(
        steam / "steamapps" / "libraryfolders.vdf",
        "\"libraryfolders\"\n{\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + library_text + "\"\n\t}\n}\n");
    const std::wstring steam_path = steam.wstring();
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_CURRENT_USER, kSteamKey, L"SteamPath", REG_SZ, steam_path.c_str(),
                        static_cast<DWORD>((steam_path.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);
  }

  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kSteamKey);
    MainWindowTest::TearDown();
  }

  // Opens the dialog with `open` (a click, a menu command) and runs `steps` in it.
  void InDialog(const std::function<void()>& open, std::vector<DialogStep> steps) {
    RunModalDialog(
        kFindIwadsTitle,
        [&] {
          open();
          return INT_PTR{0};
        },
        std::move(steps));
  }

  static int LineOf(const std::vector<FoundLine>& lines, const std::wstring& where) {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i][1] == where) return static_cast<int>(i);
    }
    return -1;
  }

  static std::wstring Title(std::u16string_view release_id) {
    const int index = FindIwadByReleaseId(release_id);
    return index < 0 ? L"?" : AsWide(GetIwad(index).title);
  }

  Path doom2_, archive_;
};

TEST_F(FindIwadsTest, TheButtonListsTheSteamLibrariesReleasesAndOpensAZippedOneWithoutAsking) {
  Open();
  std::vector<FoundLine> lines;
  InDialog([&] { Click(IDC_FIND_IWADS); },
           {[&](HWND dialog) {
              EXPECT_EQ(GetWindow(dialog, GW_OWNER), window_);
              ASSERT_TRUE(WaitForSearchEnd(dialog));
              lines = FoundLines(dialog);
              const int zodiac = LineOf(lines, archive_.wstring() + L"//extra/ZODIAC.WAD");
              ASSERT_GE(zodiac, 0);
              SelectLine(dialog, zodiac);
            },
            [](HWND dialog) { PressKey(dialog, VK_RETURN); }});
  const std::vector<FoundLine> want = {
      {Title(u"doom2_v19"), doom2_.wstring(), L"Steam"},
      {Title(u"tnt_v19"), archive_.wstring() + L"//TNT.WAD", L"Steam"},
      {Title(u"doom2_zodiac"), archive_.wstring() + L"//extra/ZODIAC.WAD", L"Steam"},
  };
  EXPECT_EQ(lines, want);

  // The archive's entry picked in the list, with no question which.
  EXPECT_TRUE(ui_.entry_choices.empty());
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), archive_.wstring());
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), Title(u"doom2_zodiac"));
  ASSERT_NE(InputFromArchive(), nullptr);
  EXPECT_EQ(InputFromArchive()->entry, "extra/ZODIAC.WAD");
  EXPECT_TRUE(ui_.messages.empty());
  // The search's copies of the entries are gone; the window's copy of the one it shows stays.
  EXPECT_EQ(FileNames(scratch_ / "temp").size(), 1u);
}

TEST_F(FindIwadsTest, TheSystemMenuOpensItAndAPlainFileGoesInAsADropDoes) {
  Open();
  wchar_t entry[64] = {};
  GetMenuStringW(GetSystemMenu(window_, FALSE), IDM_FIND_IWADS, entry, 64, MF_BYCOMMAND);
  EXPECT_STREQ(entry, L"Find IWADs...");
  InDialog([&] { SendMessageW(window_, WM_SYSCOMMAND, IDM_FIND_IWADS, 0); },
           {[&](HWND dialog) {
              ASSERT_TRUE(WaitForSearchEnd(dialog));
              const int line = LineOf(FoundLines(dialog), doom2_.wstring());
              ASSERT_GE(line, 0);
              SelectLine(dialog, line);
            },
            [](HWND dialog) { PressKey(dialog, VK_RETURN); }});
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), doom2_.wstring());
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), Title(u"doom2_v19"));
  EXPECT_EQ(InputFromArchive(), nullptr);
}

TEST_F(FindIwadsTest, AddFolderAsksThroughTheFileDialogAndClosingOpensNothing) {
  Open();
  const Path more = scratch_ / "more";
  std::filesystem::create_directories(more);
  const Path xbox = WriteSyntheticRelease(more, u"doom2_xbox", "doom2.wad");
  ui_.ChooseFile(more);
  std::vector<FoundLine> lines;
  InDialog([&] { Click(IDC_FIND_IWADS); }, {[&](HWND dialog) {
                                              ASSERT_TRUE(WaitForSearchEnd(dialog));
                                              PressButton(dialog, IDC_FIND_IWADS_ADD_FOLDER);
                                              ASSERT_TRUE(WaitForSearchEnd(dialog));
                                              lines = FoundLines(dialog);
                                            },
                                            [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});
  ASSERT_EQ(ui_.open_dialogs.size(), 1u);
  EXPECT_TRUE(ui_.open_dialogs[0].pick_folder);
  EXPECT_NE(ui_.open_dialogs[0].owner, window_);  // the Find IWADs dialog's
  EXPECT_GE(LineOf(lines, xbox.wstring()), 0);
  EXPECT_EQ(lines.back(), (FoundLine{Title(u"doom2_xbox"), xbox.wstring(), L"Added folder"}));
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), L"");
  EXPECT_EQ(CurrentIwad, nullptr);
}

}  // namespace
}  // namespace tvl::testing
