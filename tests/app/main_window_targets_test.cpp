// The main window with identifiable files (the synthetic releases): the identified states, the
// target list and the Patch! enabling rule.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/patch_availability.h"
#include "app/program.h"
#include "app/target_list.h"
#include "catalogue/routes.h"
#include "platform/wide_text.h"
#include "resources/main_window_ids.h"
#include "tests/app/main_window_fixture.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/zip_maker.h"
#include "tvl_version.h"

namespace tvl::testing {
namespace {

int Release(std::u16string_view id) {
  int index = FindIwadByReleaseId(id);
  EXPECT_GE(index, 0) << "no release " << std::string(id.begin(), id.end());
  return index;
}

std::wstring Title(int index) { return AsWide(GetIwad(index).title); }

// The patches the synthetic store holds (cmake/SyntheticData.cmake); every other route lacks one.
const std::u16string kStoredPatches[] = {u"doom2_v19_to_doom2_v1666",  u"doom2_v1666_to_doom2_v19",
                                         u"doom2_v19_to_doom2_xbox",   u"doom2_xbox_to_doom2_v19",
                                         u"doom2_v19_to_doom2_zodiac", u"doom2_zodiac_to_doom2_v19",
                                         u"tnt_v19_to_tnt_psnusa",     u"tnt_psnusa_to_tnt_v19"};

bool Stored(const std::u16string& name) {
  return std::find(std::begin(kStoredPatches), std::end(kStoredPatches), name) !=
         std::end(kStoredPatches);
}

// Every other release of the game, in catalogue order, with its index as item data, marked when
// the store lacks a patch of its route.
std::vector<ListLine> OtherReleases(int index) {
  std::vector<ListLine> lines;
  for (int i = 0; i < kIwadCount; ++i) {
    if (i != index && std::u16string_view(GetIwad(i).game_id) == GetIwad(index).game_id) {
      const std::vector<std::u16string> route = FindPatchRoute(GetIwad(index), GetIwad(i));
      const bool missing = std::any_of(route.begin(), route.end(),
                                       [](const std::u16string& name) { return !Stored(name); });
      lines.push_back({Title(i) + (missing ? kPatchMissingMark : L""), i});
    }
  }
  return lines;
}

bool Shows(const std::vector<std::wstring>& lines, const std::wstring& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class MainWindowTargetsTest : public MainWindowTest {
 protected:
  Path Write(std::u16string_view id, std::string_view name) {
    return WriteSyntheticRelease(scratch_.path(), id, name);
  }

  void ExpectIdentified(const Path& file, int index) {
    EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), file.native());
    EXPECT_FALSE(ItemEnabled(window_, IDC_INPUT_PATH));
    EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), Title(index));
    ASSERT_NE(CurrentIwad, nullptr);
    EXPECT_EQ(CurrentIwad->index, index);
    EXPECT_EQ(ListLines(Item(IDC_TARGET_LIST)), OtherReleases(index));
    EXPECT_EQ(SendMessageW(Item(IDC_TARGET_LIST), LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_FALSE(ItemEnabled(window_, IDC_PATCH));
  }
};

TEST_F(MainWindowTargetsTest, IdentifiedFileOffersTheOtherReleasesOfItsGame) {
  const int v1666 = Release(u"doom2_v1666");
  Path file = Write(u"doom2_v1666", "doom2.wad");
  Open();
  Browse(file);
  EXPECT_TRUE(ui_.messages.empty());
  ExpectIdentified(file, v1666);
  EXPECT_TRUE(ItemEnabled(window_, IDC_TARGET_LIST));
  std::vector<std::wstring> titles = ListTexts(Item(IDC_TARGET_LIST));
  ASSERT_EQ(titles.size(), 16u);
  EXPECT_EQ(titles.front(), L"Doom 2 retail v1.666 (German) (patch missing)");
  EXPECT_EQ(titles.back(), L"Doom 2 (Zodiac)");
  // That first line is wider than the list, which scrolls sideways to show it whole.
  RECT box = {};
  GetClientRect(Item(IDC_TARGET_LIST), &box);
  EXPECT_GT(SendMessageW(Item(IDC_TARGET_LIST), LB_GETHORIZONTALEXTENT, 0, 0), box.right);

  // Choosing a target enables Patch!; a double click only selects.
  int zodiac = LineOf(u"Doom 2 (Zodiac)");
  ClickTarget(zodiac);
  EXPECT_EQ(SendMessageW(Item(IDC_TARGET_LIST), LB_GETCURSEL, 0, 0), zodiac);
  EXPECT_TRUE(ItemEnabled(window_, IDC_PATCH));
  HWND list = Item(IDC_TARGET_LIST);
  RECT rect = {};
  SendMessageW(list, LB_GETITEMRECT, zodiac, reinterpret_cast<LPARAM>(&rect));
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(rect.left + 2, rect.top + 2));
  SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(rect.left + 2, rect.top + 2));
  EXPECT_TRUE(ui_.save_dialogs.empty());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(ItemEnabled(window_, IDC_PATCH));
}

TEST_F(MainWindowTargetsTest, UnknownFileAfterAKnownOneClearsEverything) {
  Path known = Write(u"doom2_xbox", "doom2.wad");
  Path unknown = scratch_ / "other.wad";
  WriteFileText(unknown, "IWAD, but not one we know");
  Open();
  Browse(known);
  ClickTarget(0);
  ASSERT_TRUE(ItemEnabled(window_, IDC_PATCH));

  Browse(unknown);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(FirstLine(ui_.messages[0].text),
            L"Could not identify the specified WAD file. Please try a valid IWAD.");
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), unknown.native());
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"");
  EXPECT_EQ(ListLines(Item(IDC_TARGET_LIST)),
            (std::vector<ListLine>{{kTargetPromptText, kNoRelease}}));
  EXPECT_FALSE(ItemEnabled(window_, IDC_TARGET_LIST));
  EXPECT_FALSE(ItemEnabled(window_, IDC_PATCH));
  EXPECT_EQ(CurrentIwad, nullptr);

  // And back: a known file again fills the window anew.
  Browse(known);
  ExpectIdentified(known, Release(u"doom2_xbox"));
}

TEST_F(MainWindowTargetsTest, IdentificationOnlyReleaseCannotBePatched) {
  const int freedoom = Release(u"freedoom1_v0.9");
  Path file = Write(u"freedoom1_v0.9", "freedoom1.wad");
  Open();
  Browse(file);
  ExpectIdentified(file, freedoom);
  EXPECT_EQ(ListLines(Item(IDC_TARGET_LIST)).size(), 8u);
  EXPECT_FALSE(ItemEnabled(window_, IDC_TARGET_LIST));
  // Even a selection made past the disabled list leaves Patch! disabled.
  ForceSelect(0);
  EXPECT_FALSE(ItemEnabled(window_, IDC_PATCH));

  // And a patchable release with an identification-only target selected: likewise.
  Browse(Write(u"doom2_v19", "doom2.wad"));
  ForceSelect(0);
  EXPECT_TRUE(ItemEnabled(window_, IDC_PATCH));
  CurrentIwad = &GetIwad(freedoom);
  ForceSelect(1);
  EXPECT_FALSE(ItemEnabled(window_, IDC_PATCH));
}

TEST_F(MainWindowTargetsTest, KnownFileOnTheCommandLineFillsTheWindowBeforeItShows) {
  const int tnt = Release(u"tnt_psnusa");
  Path file = Write(u"tnt_psnusa", "tnt.wad");
  Open(file.c_str());
  EXPECT_FALSE(IsWindowVisible(window_));
  EXPECT_TRUE(ui_.messages.empty());
  ExpectIdentified(file, tnt);
  EXPECT_EQ(WindowText(window_), L"Tarvelline v" TVL_VERSION_SHORT);

  // Modally, as the program runs it: the window shows, filled, and ends with 0 on close.
  std::wstring label;
  INT_PTR result = RunModal(file.c_str(), {[&](HWND window) {
                              label = ItemText(window, IDC_RELEASE_LABEL);
                              PostMessageW(window, WM_CLOSE, 0, 0);
                            }});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(label, L"TNT: Evilution (PSN, USA)");
}

TEST_F(MainWindowTargetsTest, KeyboardFocusLeavesControlsThatGetDisabled) {
  Path file = Write(u"doom2_v1666", "doom2.wad");
  int focus_before = 0;
  int focus_after = 0;
  // Modally, so the window is active and can hold the focus.
  INT_PTR result = RunModal(nullptr, {[&](HWND window) {
                              window_ = window;
                              Browse(file);
                              ClickTarget(0);
                              SetFocus(Item(IDC_PATCH));
                              focus_before = GetDlgCtrlID(GetFocus());
                              // Identifying again disables Patch!.
                              Browse(file);
                              focus_after = GetDlgCtrlID(GetFocus());
                              window_ = nullptr;
                              PostMessageW(window, WM_CLOSE, 0, 0);
                            }});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(focus_before, IDC_PATCH);
  EXPECT_EQ(focus_after, IDC_BROWSE);
}

TEST_F(MainWindowTargetsTest, DroppedFileIsIdentified) {
  Path file = Write(u"doom2_zodiac", "zodiac.wad");
  Open();
  DropFiles({file});
  EXPECT_TRUE(ui_.messages.empty());
  ExpectIdentified(file, Release(u"doom2_zodiac"));
}

// A patch the build lacks counts as present when the "patches" folder beside the program has
// it, loose or in a patch pack; anything else there (another name, a folder of that name, a pack
// without it) leaves the release marked. A route through the base needs both of its patches.
TEST_F(MainWindowTargetsTest, ReleasesWhosePatchIsNowhereAreMarked) {
  const Path patches = scratch_ / "patches";
  SetRunTimePatchFolder(patches);
  const std::vector<uint8_t> bytes = {'p', 'a', 't', 'c', 'h'};
  struct Row {
    const char* what;
    std::function<void()> make;
    bool marked;
  };
  const Row rows[] = {
      {"no folder", [] {}, true},
      {"an empty folder", [] {}, true},
      {"another patch", [&] { WriteFileBytes(patches / "tnt_v19_to_tnt_psneur.vcdiff", bytes); },
       true},
      {"a folder of that name",
       [&] { std::filesystem::create_directories(patches / "tnt_psneur_to_tnt_v19.vcdiff"); },
       true},
      {"a pack without it",
       [&] {
         WriteTestZip(patches / "pack.zip", {{"tnt_v19_to_tnt_psneur.vcdiff", bytes}});
       },
       true},
      {"the loose file", [&] { WriteFileBytes(patches / "tnt_psneur_to_tnt_v19.vcdiff", bytes); },
       false},
      {"a pack with it",
       [&] {
         WriteTestZip(patches / "pack.zip", {{"tnt_psneur_to_tnt_v19.vcdiff", bytes}});
       },
       false},
  };
  const Path file = Write(u"tnt_psneur", "tnt.wad");
  Open();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::filesystem::remove_all(patches);
    if (&row != &rows[0]) std::filesystem::create_directory(patches);
    row.make();
    Browse(file);
    const std::wstring mark = row.marked ? kPatchMissingMark : L"";
    // One step to the base; two to the USA release, through the base; the others' patches are
    // nowhere.
    const std::vector<std::wstring> lines = ListTexts(Item(IDC_TARGET_LIST));
    EXPECT_TRUE(Shows(lines, L"TNT: Evilution" + mark));
    EXPECT_TRUE(Shows(lines, L"TNT: Evilution (PSN, USA)" + mark));
    EXPECT_TRUE(Shows(lines, L"TNT: Evilution (id Anthology) (patch missing)"));
    EXPECT_EQ(MissingPatchOf(Release(u"tnt_psneur"), Release(u"tnt_v19")).empty(), !row.marked);
  }
  // From the USA release the store has the patch to the base, but not on from it to Europe's.
  std::filesystem::remove_all(patches);
  Browse(Write(u"tnt_psnusa", "usa.wad"));
  const std::vector<std::wstring> lines = ListTexts(Item(IDC_TARGET_LIST));
  EXPECT_TRUE(Shows(lines, L"TNT: Evilution"));
  EXPECT_TRUE(Shows(lines, L"TNT: Evilution (PSN, Europe) (patch missing)"));
  EXPECT_EQ(ListLines(Item(IDC_TARGET_LIST)), OtherReleases(Release(u"tnt_psnusa")));
  SetRunTimePatchFolder({});
}

}  // namespace
}  // namespace tvl::testing
