// IWADs in zip archives, opened in the main window: one WAD file is opened at once, several are
// chosen from; the chosen entry is unpacked into the temporary folder, identified from there and
// converted into a plain WAD beside the archive, which is never changed. The unpacked copy lives
// exactly as long as the window shows it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/wide_text.h"
#include "resources/main_window_ids.h"
#include "tests/app/synthetic_window_fixture.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/zip_maker.h"

namespace tvl::testing {
namespace {

constexpr wchar_t kIdentifyFailedText[] =
    L"Could not identify the specified WAD file. Please try a valid IWAD.";
constexpr wchar_t kPatchFailedText[] = L"An error occured while patching.";
constexpr wchar_t kInPlaceText[] = L"Patch in-place (overwrite original file)";
constexpr wchar_t kInPlaceArchiveText[] = L"Patch in-place (not for a zip archive)";

std::span<const uint8_t> Release(std::u16string_view id) { return SyntheticReleaseBytes(id); }

using testing::Bytes;
std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::wstring Title(std::u16string_view id) {
  return AsWide(GetIwad(FindIwadByReleaseId(id)).title);
}

const std::vector<uint8_t> kReadme = Bytes("Unzip into your Doom folder.\n");

class ZippedInputTest : public SyntheticWindowTest {
 protected:
  Path Zip(std::string_view name, const std::vector<TestZipEntry>& entries) {
    return WriteTestZip(work_ / name, entries);
  }

  // The files in the temporary folder now.
  std::vector<Path> TempFiles() const {
    std::vector<Path> files;
    for (const auto& entry : std::filesystem::directory_iterator(scratch_.path() / "temp")) {
      files.push_back(entry.path());
    }
    return files;
  }

  // The window shows release `id` from an archive: the archive's path in the input box, and the
  // entry's one copy, with the entry's bytes, in the temporary folder.
  void ExpectShown(const Path& archive, std::u16string_view id) {
    EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), archive.native());
    EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), Title(id));
    ASSERT_NE(CurrentIwad, nullptr);
    EXPECT_EQ(CurrentIwad->index, FindIwadByReleaseId(id));
    EXPECT_TRUE(ItemEnabled(window_, IDC_TARGET_LIST));
    ExpectInPlaceRefused();
    const std::vector<Path> copies = TempFiles();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(ReadFileBytes(copies[0]), Bytes(id));
  }

  void ExpectInPlaceRefused() {
    EXPECT_EQ(ItemText(window_, IDC_IN_PLACE), kInPlaceArchiveText);
    EXPECT_FALSE(ItemEnabled(window_, IDC_IN_PLACE));
    EXPECT_EQ(SendMessageW(Item(IDC_IN_PLACE), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  }

  void ExpectNothingShown() {
    EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"");
    EXPECT_EQ(CurrentIwad, nullptr);
    EXPECT_FALSE(ItemEnabled(window_, IDC_TARGET_LIST));
    EXPECT_FALSE(ItemEnabled(window_, IDC_PATCH));
    EXPECT_TRUE(TempFiles().empty());
  }

  void SelectTarget(std::u16string_view id) {
    const int line = LineOf(GetIwad(FindIwadByReleaseId(id)).title);
    ASSERT_GE(line, 0);
    ClickTarget(line);
    ASSERT_TRUE(ItemEnabled(window_, IDC_PATCH));
  }
};

TEST_F(ZippedInputTest, ArchiveWithOneIwadShowsItsReleaseHoweverItIsNamed) {
  // A readme beside the IWAD, as archives come; it is no WAD file, so nothing is asked.
  const Path archive =
      Zip("doom2.zip", {{"README.TXT", kReadme}, {"DOOM2.WAD", Release(u"doom2_v1666")}});
  for (const char* way : {"the command line", "the open dialog", "a drop"}) {
    SCOPED_TRACE(way);
    const std::string_view how = way;
    Open(how == "the command line" ? archive.c_str() : nullptr);
    if (how == "the open dialog") Browse(archive);
    if (how == "a drop") DropFiles({archive});
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(ui_.entry_choices.empty());
    ExpectShown(archive, u"doom2_v1666");
    // The window going takes the copy with it.
    DestroyWindow(window_);
    window_ = nullptr;
    EXPECT_TRUE(TempFiles().empty());
  }
  EXPECT_EQ(ReadFileBytes(archive),
            MakeTestZip({{"README.TXT", kReadme}, {"DOOM2.WAD", Release(u"doom2_v1666")}}));
}

TEST_F(ZippedInputTest, ArchiveWithSeveralIwadsAsksWhichAndIdentifiesTheChoice) {
  const Path archive = Zip("iwads.zip", {{"readme.txt", kReadme},
                                         {"doom2/DOOM2.WAD", Release(u"doom2_v1666"), false},
                                         {"doom2/", {}, false},
                                         {"tnt.wad", Release(u"tnt_v19")}});
  Open();
  ui_.ChooseEntry(1);
  Browse(archive);
  ASSERT_EQ(ui_.entry_choices.size(), 1u);
  EXPECT_EQ(ui_.entry_choices[0].owner, window_);
  EXPECT_EQ(ui_.entry_choices[0].archive_name, L"iwads.zip");
  // The WAD files alone, in the archive's order.
  EXPECT_EQ(ui_.entry_choices[0].entries,
            (std::vector<std::wstring>{L"doom2/DOOM2.WAD", L"tnt.wad"}));
  EXPECT_TRUE(ui_.messages.empty());
  ExpectShown(archive, u"tnt_v19");
  // The whole path is the tooltip's, with the entry after it.
  EXPECT_EQ(TooltipText(FindTooltip(window_), window_, IDC_INPUT_PATH),
            archive.lexically_normal().native() + L"//tnt.wad");

  // Another choice from the same archive: its copy takes the place of the first.
  ui_.ChooseEntry(0);
  Browse(archive);
  ExpectShown(archive, u"doom2_v1666");

  // Backing out of the choice shows no error and nothing of the archive.
  ui_.ChooseEntry(-1);
  Browse(archive);
  EXPECT_EQ(ui_.entry_choices.size(), 3u);
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), archive.native());
  ExpectNothingShown();
  ExpectInPlaceRefused();
}

TEST_F(ZippedInputTest, ResultIsAPlainVerifiedWadBesideTheArchive) {
  const std::vector<TestZipEntry> entries = {{"games/DOOM2.WAD", Release(u"doom2_v1666")}};
  const Path archive = Zip("iwads.zip", entries);
  Open();
  Browse(archive);
  // Through the base release: the intermediate file shares the temporary folder with the copy.
  SelectTarget(u"doom2_zodiac");
  const Path output = work_ / "DOOM2-doom2_zodiac.wad";
  ui_.ChooseFile(output);
  Click(IDC_PATCH);

  ASSERT_EQ(ui_.save_dialogs.size(), 1u);
  // The entry's name without its folder, in the archive's folder.
  EXPECT_EQ(ui_.save_dialogs[0].name, L"DOOM2-doom2_zodiac.wad");
  EXPECT_EQ(ui_.save_dialogs[0].folder, work_);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, PatchedText(output));
  EXPECT_EQ(ReadFileBytes(output), Bytes(u"doom2_zodiac"));
  EXPECT_EQ(ReadFileBytes(archive), MakeTestZip(entries));
  EXPECT_EQ(FileNames(work_), (std::set<std::string>{"DOOM2-doom2_zodiac.wad", "iwads.zip"}));
  // The window still shows the archive's entry, ready for another conversion.
  ExpectShown(archive, u"doom2_v1666");
}

TEST_F(ZippedInputTest, ArchiveIsNeverReplacedEvenWhenAsked) {
  const std::vector<TestZipEntry> entries = {{"DOOM2.WAD", Release(u"doom2_xbox")}};
  const Path archive = Zip("doom2.zip", entries);
  Open();
  Browse(archive);
  ExpectInPlaceRefused();

  // Checked behind the window's back, in-place still writes a new file: the save dialog asks
  // where, and the archive itself is refused there.
  SendMessageW(Item(IDC_IN_PLACE), BM_SETCHECK, BST_CHECKED, 0);
  SelectTarget(u"doom2_v19");
  ui_.ChooseFile(archive);
  Click(IDC_PATCH);
  EXPECT_EQ(ui_.save_dialogs.size(), 1u);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(FirstLine(ui_.messages[0].text), kPatchFailedText);
  EXPECT_EQ(ReasonLines(ui_.messages[0].text),
            L"The converted IWAD can't take the place of the zip archive it comes from; choose "
            L"another name.");
  EXPECT_EQ(ReadFileBytes(archive), MakeTestZip(entries));
  EXPECT_EQ(FileNames(work_), (std::set<std::string>{"doom2.zip"}));

  // A plain WAD file afterwards may be patched in place again.
  Browse(WriteSyntheticRelease(work_, u"doom2_xbox", "doom2.wad"));
  EXPECT_EQ(ItemText(window_, IDC_IN_PLACE), kInPlaceText);
  EXPECT_TRUE(ItemEnabled(window_, IDC_IN_PLACE));
}

TEST_F(ZippedInputTest, ArchivesThatCantBeOpenedSayWhyAndLeaveNoCopy) {
  const std::vector<TestZipEntry> stored = {{"DOOM2.WAD", Release(u"doom2_v1666"), false}};
  const std::vector<TestZipEntry> deflated = {{"DOOM2.WAD", Release(u"doom2_v1666")}};
  std::vector<uint8_t> damaged_stored = MakeTestZip(stored);
  damaged_stored[FirstEntryDataOffset(stored) + 5000] ^= 0x55;
  std::vector<uint8_t> damaged_deflated = MakeTestZip(deflated);
  damaged_deflated[FirstEntryDataOffset(deflated) + 100] ^= 0x55;
  // The end record's disk number, and where it says the directory starts.
  std::vector<uint8_t> split = MakeTestZip(deflated);
  split[split.size() - 22 + 4] = 1;
  std::vector<uint8_t> outside = MakeTestZip(deflated);
  outside[outside.size() - 22 + 19] = 0x40;
  // A PWAD with one lump: a WAD file by its name, but no game's main file.
  const std::vector<uint8_t> pwad = {'P', 'W', 'A', 'D', 1,   0,   0, 0, 16, 0, 0,
                                     0,   'd', 'a', 't', 'a', 12,  0, 0, 0,  4, 0,
                                     0,   0,   'D', 'A', 'T', 'A', 0, 0, 0,  0};
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::wstring reason;  // what the reason holds
  } cases[] = {
      {"a stored entry with a changed byte", damaged_stored, L"damaged"},
      {"a deflated entry with a changed byte", damaged_deflated, L"damaged"},
      {"a deflate stream longer than declared",
       MakeTestZip({{.name = "DOOM2.WAD",
                     .data = Release(u"doom2_v1666"),
                     .declared_size = Release(u"doom2_v1666").size() - 1}}),
       L"bad.zip: DOOM2.WAD is damaged"},
      {"Deflate64",
       MakeTestZip({{.name = "DOOM2.WAD", .data = Release(u"doom2_v1666"), .method = 9}}),
       L"bad.zip: DOOM2.WAD uses Deflate64 compression, which Tarvelline can't read; re-zip it "
       L"with ordinary deflate."},
      {"an encrypted entry",
       MakeTestZip({{.name = "DOOM2.WAD", .data = Release(u"doom2_v1666"), .flags = 1}}),
       L"bad.zip: DOOM2.WAD is encrypted"},
      {"a part of a split archive", split, L"bad.zip is one part of a split zip archive"},
      {"a directory outside the file", outside, L"points outside the file"},
      {"a name that says zip on another file", Bytes("IWAD, not an archive"),
       L"bad.zip is not a zip archive."},
      {"no WAD file", MakeTestZip({{"README.TXT", kReadme}}), L"bad.zip contains no WAD file."},
      {"a zip's start and nothing else", Bytes("PK\x03\x04 and no directory"), L"bad.zip"},
      {"a PWAD", MakeTestZip({{"addon.wad", pwad}}), L"addon.wad: PWAD"},
  };
  // What was shown before goes too, its copy with it.
  const Path good = Zip("good.zip", deflated);
  Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Browse(good);
    ASSERT_EQ(TempFiles().size(), 1u);
    ui_.messages.clear();
    const Path bad = work_ / "bad.zip";
    WriteFileBytes(bad, c.bytes);
    Browse(bad);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].caption, L"Error");
    EXPECT_EQ(ui_.messages[0].type, UINT{MB_ICONERROR | MB_OK});
    EXPECT_EQ(FirstLine(ui_.messages[0].text), kIdentifyFailedText);
    EXPECT_NE(ReasonLines(ui_.messages[0].text).find(c.reason), std::wstring::npos)
        << std::string(ui_.messages[0].text.begin(), ui_.messages[0].text.end());
    EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), bad.native());
    ExpectNothingShown();
    ExpectInPlaceRefused();
  }
  for (const Path& temp : ui_.temp_files) EXPECT_FALSE(std::filesystem::exists(temp));
}

// An .ipk3 is zipped game data in its own right: it is identified whole, never looked into.
TEST_F(ZippedInputTest, Ipk3IsIdentifiedWholeAndMayBePatchedInPlace) {
  const Path game = Zip("game.ipk3", {{"DOOM2.WAD", Release(u"doom2_v1666")}});
  Open();
  Browse(game);
  EXPECT_TRUE(ui_.entry_choices.empty());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(FirstLine(ui_.messages[0].text), kIdentifyFailedText);
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_EQ(ItemText(window_, IDC_IN_PLACE), kInPlaceText);
  EXPECT_TRUE(ItemEnabled(window_, IDC_IN_PLACE));
}

TEST_F(ZippedInputTest, CopyGoesWhenTheInputChangesAndWhenTheWindowCloses) {
  const Path first = Zip("first.zip", {{"DOOM2.WAD", Release(u"doom2_v1666")}});
  const Path second = Zip("second.zip", {{"TNT.WAD", Release(u"tnt_psnusa")}});
  const Path plain = WriteSyntheticRelease(work_, u"doom2_xbox", "doom2.wad");
  Open();
  Browse(first);
  const Path copy = TempFiles().at(0);
  Browse(plain);
  EXPECT_FALSE(std::filesystem::exists(copy));
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), Title(u"doom2_xbox"));

  Browse(first);
  DropFiles({second});
  ExpectShown(second, u"tnt_psnusa");
  // One copy for each time an archive was opened; the last alone is left.
  ASSERT_EQ(ui_.temp_files.size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(ui_.temp_files[1]));
  EXPECT_EQ(TempFiles(), std::vector<Path>{ui_.temp_files[2]});

  DestroyWindow(window_);
  window_ = nullptr;
  EXPECT_TRUE(TempFiles().empty());

  // Run as the program runs it, closed from its title bar.
  std::wstring label;
  size_t copies = 0;
  INT_PTR result = RunModal(second.c_str(), {[&](HWND window) {
                              label = ItemText(window, IDC_RELEASE_LABEL);
                              copies = TempFiles().size();
                              PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                            }});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(label, Title(u"tnt_psnusa"));
  EXPECT_EQ(copies, 1u);
  EXPECT_TRUE(TempFiles().empty());
}

// The clean-up before a conversion takes old temporary files that nothing holds for leftovers of
// a killed run; the copy the window shows is held, however old, and stays the conversion's input.
TEST_F(ZippedInputTest, HeldCopyIsNoLeftoverHoweverOld) {
  const Path archive = Zip("doom2.zip", {{"DOOM2.WAD", Release(u"doom2_v1666")}});
  Open();
  Browse(archive);
  const Path copy = TempFiles().at(0);
  HANDLE file = CreateFileW(copy.c_str(), FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER hour_ago = {{now.dwLowDateTime, now.dwHighDateTime}};
  hour_ago.QuadPart -= 3600ull * 10'000'000;
  const FILETIME old = {hour_ago.LowPart, hour_ago.HighPart};
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &old));
  CloseHandle(file);

  SelectTarget(u"doom2_v19");
  const Path output = work_ / "doom2-v19.wad";
  ui_.ChooseFile(output);
  Click(IDC_PATCH);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, PatchedText(output));
  EXPECT_EQ(ReadFileBytes(output), Bytes(u"doom2_v19"));
  EXPECT_EQ(TempFiles(), std::vector<Path>{copy});
  EXPECT_EQ(ReadFileBytes(copy), Bytes(u"doom2_v1666"));
}

}  // namespace
}  // namespace tvl::testing
