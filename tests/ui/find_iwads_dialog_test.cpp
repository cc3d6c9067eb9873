// The Find IWADs dialog from its real template, run modally as the program runs it, searching
// made-up trees with the synthetic releases, driven from the keyboard and the mouse.
#include "ui/find_iwads_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "platform/wide_text.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"
#include "tests/ui/find_iwads_probe.h"
#include "tests/ui/modal_dialog.h"
#include "tests/zip_maker.h"

namespace tvl::testing {
namespace {

class FindIwadsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitIwadCatalogue();
    std::filesystem::create_directories(temp_);
  }

  // The dialog as the program sets it up, identifying into the scratch temporary folder.
  FindIwadsSetup Setup(std::vector<ScanRoot> roots) {
    FindIwadsSetup setup;
    setup.roots = std::move(roots);
    setup.identify = [this](const Path& file, const ScanRoot& root) {
      return IdentifyFoundFile(file, root, temp_, {});
    };
    return setup;
  }

  std::optional<FoundIwad> Run(FindIwadsSetup setup, std::vector<DialogStep> steps) {
    std::optional<FoundIwad> chosen;
    RunModalDialog(
        kFindIwadsTitle,
        [&] {
          chosen = ShowFindIwadsDialog(nullptr, std::move(setup));
          return INT_PTR{0};
        },
        std::move(steps));
    return chosen;
  }

  // The title the catalogue gives the synthetic release.
  std::wstring TitleOf(std::u16string_view release_id) {
    std::filesystem::create_directories(scratch_ / "titles");
    const Path file = WriteSyntheticRelease(scratch_ / "titles", release_id, "release.wad");
    const int index = IdentifyIwad(file);
    return index < 0 ? L"" : AsWide(GetIwad(index).title);
  }

  ScratchDir scratch_;
  Path temp_ = scratch_ / "temp";
};

TEST_F(FindIwadsDialogTest, ListsEachFileAndArchiveEntryWithItsReleaseAndPlaceAndEnterOpens) {
  const Path game = scratch_ / "steam" / "Doom 2" / "base";
  std::filesystem::create_directories(game);
  const Path doom2 = WriteSyntheticRelease(game, u"doom2_v19", "DOOM2.WAD");
  const Path waddir = scratch_ / "waddir";
  std::filesystem::create_directories(waddir);
  const Path zip =
      WriteTestZip(waddir / "iwads.zip", {{"doom2/DOOM2.WAD", SyntheticReleaseBytes(u"doom2_xbox")},
                                          {"readme.txt", {}},
                                          {"tnt.wad", SyntheticReleaseBytes(u"tnt_v19")}});
  WriteFileText(waddir / "odd.wad", "PWAD and nothing else");

  std::vector<FoundLine> lines;
  std::wstring status;
  int focus = 0;
  bool open_is_default = false, stop_enabled = true, open_enabled = false;
  const std::optional<FoundIwad> chosen =
      Run(Setup({{scratch_ / "steam", "steam"}, {waddir, "DOOMWADDIR"}}),
          {[&](HWND dialog) {
             ASSERT_TRUE(WaitForSearchEnd(dialog));
             lines = FoundLines(dialog);
             status = ItemText(dialog, IDC_FIND_IWADS_STATUS);
             focus = GetDlgCtrlID(GetFocus());
             open_is_default = LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)) == IDOK;
             stop_enabled = ItemEnabled(dialog, IDC_FIND_IWADS_STOP);
             open_enabled = ItemEnabled(dialog, IDOK);
             // The second line: an archive's entry.
             SelectLine(dialog, 1);
           },
           [](HWND dialog) { PressKey(dialog, VK_RETURN); }});

  const std::wstring archive = zip.wstring() + L"//";
  EXPECT_EQ(lines, (std::vector<FoundLine>{
                       {TitleOf(u"doom2_v19"), doom2.wstring(), L"Steam"},
                       {TitleOf(u"doom2_xbox"), archive + L"doom2/DOOM2.WAD", L"DOOMWADDIR"},
                       {TitleOf(u"tnt_v19"), archive + L"tnt.wad", L"DOOMWADDIR"},
                       {L"unknown", (waddir / "odd.wad").wstring(), L"DOOMWADDIR"},
                   }));
  // steam, Doom 2, base and waddir.
  EXPECT_EQ(status, L"Search finished: 4 folders searched, 4 files found");
  EXPECT_EQ(focus, IDC_FIND_IWADS_LIST);
  EXPECT_TRUE(open_is_default);
  EXPECT_FALSE(stop_enabled);
  EXPECT_TRUE(open_enabled);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->file, zip);
  EXPECT_EQ(chosen->entry, "doom2/DOOM2.WAD");
  EXPECT_EQ(chosen->rule, "DOOMWADDIR");
  // Each entry's unpacked copy went as soon as it was hashed.
  EXPECT_TRUE(FileNames(temp_).empty());
}

TEST_F(FindIwadsDialogTest, StopEndsTheSearchAfterTheFileAtHandAndEscapeClosesWithNothing) {
  const Path folder = scratch_ / "many";
  std::filesystem::create_directories(folder);
  for (const char* name : {"a.wad", "b.wad", "c.wad"}) {
    WriteSyntheticRelease(folder, u"tnt_v19", name);
  }
  FindIwadsSetup setup = Setup({{folder, "DOOMWADPATH"}});
  std::atomic<int> calls{0};
  std::atomic<bool> release{false};
  auto identify = setup.identify;
  setup.identify = [&, identify](const Path& file, const ScanRoot& root) {
    ++calls;
    while (!release) Sleep(1);  // held until the test has pressed Stop
    return identify(file, root);
  };
  std::wstring while_searching, after_stop;
  bool stop_enabled_before = false, stop_enabled_after = true;
  std::vector<FoundLine> lines;
  const std::optional<FoundIwad> chosen =
      Run(std::move(setup), {[&](HWND dialog) {
                               ASSERT_TRUE(PumpDialogUntil([&] { return calls > 0; }));
                               while_searching = ItemText(dialog, IDC_FIND_IWADS_STATUS);
                               stop_enabled_before = ItemEnabled(dialog, IDC_FIND_IWADS_STOP);
                               PressButton(dialog, IDC_FIND_IWADS_STOP);
                               release = true;
                               ASSERT_TRUE(WaitForSearchEnd(dialog));
                               after_stop = ItemText(dialog, IDC_FIND_IWADS_STATUS);
                               stop_enabled_after = ItemEnabled(dialog, IDC_FIND_IWADS_STOP);
                               lines = FoundLines(dialog);
                             },
                             [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});
  EXPECT_TRUE(while_searching.starts_with(L"Searching... ")) << while_searching;
  EXPECT_TRUE(stop_enabled_before);
  EXPECT_EQ(after_stop, L"Search stopped: 1 folder searched, 1 file found");
  EXPECT_FALSE(stop_enabled_after);
  EXPECT_EQ(calls, 1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0][2], L"DOOMWADPATH");
  EXPECT_FALSE(chosen.has_value());
}

TEST_F(FindIwadsDialogTest, ClosingDuringTheSearchEndsItsThreadBeforeReturning) {
  const Path folder = scratch_ / "many";
  std::filesystem::create_directories(folder);
  for (int i = 0; i < 20; ++i) WriteFileText(folder / (std::to_string(i) + ".wad"), "PWAD");
  FindIwadsSetup setup = Setup({{folder, "gog"}});
  std::atomic<int> calls{0}, inside{0};
  std::atomic<bool> release{false};
  setup.identify = [&](const Path& file, const ScanRoot& root) {
    ++inside;
    ++calls;
    while (!release) Sleep(1);
    --inside;
    return std::vector<FoundIwad>{{file, {}, -1, root.rule}};
  };
  Run(std::move(setup), {[&](HWND dialog) {
        ASSERT_TRUE(PumpDialogUntil([&] { return calls > 0; }));
        SendMessageW(dialog, WM_CLOSE, 0, 0);
        release = true;
      }});
  // Nothing runs on the worker any more, and it went no further than the file at hand.
  EXPECT_EQ(inside, 0);
  EXPECT_EQ(calls, 1);
}

TEST_F(FindIwadsDialogTest, AddedFoldersAreSearchedTooOnceEachAndADoubleClickOpens) {
  const Path more = scratch_ / "more";
  std::filesystem::create_directories(more);
  const Path plutonia = WriteSyntheticRelease(more, u"doom2_zodiac", "zodiac.wad");
  FindIwadsSetup setup = Setup({});
  int asked = 0;
  setup.choose_folder = [&](HWND owner) -> std::optional<Path> {
    EXPECT_NE(owner, nullptr);
    // The folder, the same again, then the user backs out.
    return ++asked <= 2 ? std::optional<Path>(more) : std::nullopt;
  };
  std::wstring empty_status;
  bool open_enabled_empty = true;
  std::vector<FoundLine> lines;
  const std::optional<FoundIwad> chosen = Run(
      std::move(setup), {[&](HWND dialog) {
                           ASSERT_TRUE(WaitForSearchEnd(dialog));
                           empty_status = ItemText(dialog, IDC_FIND_IWADS_STATUS);
                           open_enabled_empty = ItemEnabled(dialog, IDOK);
                           for (int i = 0; i < 3; ++i) {
                             PressButton(dialog, IDC_FIND_IWADS_ADD_FOLDER);
                             ASSERT_TRUE(WaitForSearchEnd(dialog));
                           }
                           lines = FoundLines(dialog);
                         },
                         [](HWND dialog) {
                           // A double click on the line, as the mouse gives it.
                           HWND list = GetDlgItem(dialog, IDC_FIND_IWADS_LIST);
                           RECT line = {LVIR_LABEL, 0, 0, 0};
                           SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&line));
                           const LPARAM at =
                               MAKELPARAM(line.left + 4, (line.top + line.bottom) / 2);
                           PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
                           PostMessageW(list, WM_LBUTTONUP, 0, at);
                           PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
                           PostMessageW(list, WM_LBUTTONUP, 0, at);
                         }});
  EXPECT_EQ(empty_status, L"Search finished: 0 folders searched, 0 files found");
  EXPECT_FALSE(open_enabled_empty);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(
      lines,
      (std::vector<FoundLine>{{TitleOf(u"doom2_zodiac"), plutonia.wstring(), L"Added folder"}}));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->file, plutonia);
  EXPECT_EQ(chosen->entry, "");
}

}  // namespace
}  // namespace tvl::testing
