// Patch! on the synthetic releases: conversions into a new file and in place, backing out, and
// each failure; afterwards, which files exist and what the user was shown.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/failure_text.h"
#include "app/program.h"
#include "app/target_list.h"
#include "platform/wide_text.h"
#include "resources/main_window_ids.h"
#include "tests/app/synthetic_window_fixture.h"
#include "tests/synthetic/synthetic_releases.h"

namespace tvl::testing {
namespace {

constexpr wchar_t kPatchFailedText[] = L"An error occured while patching.";

class PatchCommandTest : public SyntheticWindowTest {
 protected:
  void SetInPlace() { SendMessageW(Item(IDC_IN_PLACE), BM_SETCHECK, BST_CHECKED, 0); }

  // The files in the work folder, by name.
  std::vector<std::string> WorkFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(work_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // No temporary file outlives the command, in the temporary folder or beside the output.
  void ExpectNoTemporaryFiles() {
    for (const Path& temp : ui_.temp_files) {
      EXPECT_FALSE(std::filesystem::exists(temp)) << temp.string();
    }
    EXPECT_TRUE(std::filesystem::is_empty(scratch_.path() / "temp"));
  }

  void ExpectOneMessage(const std::wstring& text, const wchar_t* caption, UINT type) {
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, text);
    EXPECT_EQ(ui_.messages[0].caption, caption);
    EXPECT_EQ(ui_.messages[0].type, type);
    EXPECT_EQ(ui_.messages[0].owner, window_);
  }
};

TEST_F(PatchCommandTest, ToTheBaseIntoANewFile) {
  Prepare(u"doom2_v1666", u"doom2_v19");
  Path output = work_ / "doom2-v19.wad";
  ui_.ChooseFile(output);
  Click(IDC_PATCH);

  ASSERT_EQ(ui_.save_dialogs.size(), 1u);
  const FileDialogRequest& request = ui_.save_dialogs[0];
  EXPECT_EQ(request.owner, window_);
  EXPECT_EQ(request.title, L"Save IWAD");
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.default_extension, L"wad");
  // Opens beside the input, suggesting its name with the target's release id.
  EXPECT_EQ(request.name, L"input-doom2_v19.wad");
  EXPECT_EQ(request.folder, work_);

  // The new file named in full: the dialog may have started elsewhere.
  ExpectOneMessage(L"IWAD patched successfully!\n" + output.wstring(), L"Tarvelline",
                   MB_ICONINFORMATION | MB_OK);
  EXPECT_EQ(ReadFileBytes(output), Bytes(u"doom2_v19"));
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v1666"));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"doom2-v19.wad", "input.wad"}));
  ExpectNoTemporaryFiles();
  // The window still shows the input file's release.
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 retail v1.666");
}

TEST_F(PatchCommandTest, ThroughTheBaseIntoANewFile) {
  Prepare(u"doom2_v1666", u"doom2_zodiac");
  Path output = work_ / "zodiac.wad";
  ui_.ChooseFile(output);
  Click(IDC_PATCH);
  ExpectOneMessage(PatchedText(output), L"Tarvelline", MB_ICONINFORMATION | MB_OK);
  EXPECT_EQ(ReadFileBytes(output), Bytes(u"doom2_zodiac"));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"input.wad", "zodiac.wad"}));
  // The intermediate base release came and went.
  EXPECT_GE(ui_.temp_files.size(), 2u);
  ExpectNoTemporaryFiles();
}

TEST_F(PatchCommandTest, InPlaceThroughTheBase) {
  Prepare(u"doom2_xbox", u"doom2_zodiac");
  SetInPlace();
  ui_.AnswerMessage(IDYES);
  Click(IDC_PATCH);

  EXPECT_TRUE(ui_.save_dialogs.empty());
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].text,
            L"Are you sure you want to do an in-place patch?\nThe original file will be lost!");
  EXPECT_EQ(ui_.messages[0].caption, L"Tarvelline");
  EXPECT_EQ(ui_.messages[0].type, UINT{MB_ICONWARNING | MB_YESNO});
  EXPECT_EQ(ui_.messages[1].text, L"IWAD patched successfully!");

  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_zodiac"));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"input.wad"}));
  ExpectNoTemporaryFiles();
  // The window shows the converted file and offers the release it came from.
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), input_.native());
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 (Zodiac)");
  EXPECT_GE(LineOf(u"Doom 2 (Xbox)"), 0);
  EXPECT_LT(LineOf(u"Doom 2 (Zodiac)"), 0);
  EXPECT_FALSE(ItemEnabled(window_, IDC_PATCH));
}

TEST_F(PatchCommandTest, BackingOutChangesNothing) {
  Prepare(u"doom2_v1666", u"doom2_v19");
  ui_.CancelFileDialog();
  Click(IDC_PATCH);
  EXPECT_EQ(ui_.save_dialogs.size(), 1u);
  EXPECT_TRUE(ui_.messages.empty());

  SetInPlace();
  ui_.AnswerMessage(IDNO);
  Click(IDC_PATCH);
  EXPECT_EQ(ui_.save_dialogs.size(), 1u);
  ASSERT_EQ(ui_.messages.size(), 1u);  // the question only

  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v1666"));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"input.wad"}));
  EXPECT_TRUE(ui_.temp_files.empty());
  ExpectNoTemporaryFiles();
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 retail v1.666");
}

TEST_F(PatchCommandTest, ReadOnlyInputInPlaceIsLeftAlone) {
  Prepare(u"doom2_v1666", u"doom2_v19");
  ASSERT_TRUE(SetFileAttributesW(input_.c_str(), FILE_ATTRIBUTE_READONLY));
  SetInPlace();
  ui_.AnswerMessage(IDYES);
  Click(IDC_PATCH);

  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[1].text, L"An error occurred while deleting the file:\n\"" +
                                      input_.wstring() + L"\" is read-only.\r\n");
  EXPECT_EQ(ui_.messages[1].caption, L"Error");
  EXPECT_EQ(ui_.messages[1].type, UINT{MB_ICONERROR | MB_OK});
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v1666"));
  EXPECT_TRUE(GetFileAttributesW(input_.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"input.wad"}));
  ExpectNoTemporaryFiles();
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 retail v1.666");
}

// One sentence under the designed line: which patch, where patches come from, how one is made.
// Through the base it says why a patch the user never chose is needed.
TEST_F(PatchCommandTest, MissingPatchFailsAndLeavesNoFile) {
  constexpr wchar_t kWhereFrom[] =
      L" is missing: patches come from the \"patches\" folder beside tarvelline.exe, or from a "
      L"patch pack (a .zip of .vcdiff files) put there, and one can be made with tarvelline-cli "
      L"build-store by someone who owns both releases.";
  struct Row {
    std::u16string_view source, target;
    std::wstring sentence;
  };
  const Row rows[] = {
      {u"tnt_psneur", u"tnt_v19",
       L"The patch from TNT: Evilution (PSN, Europe) to TNT: Evilution "
       L"(tnt_psneur_to_tnt_v19.vcdiff)" +
           std::wstring(kWhereFrom)},
      {u"tnt_psneur", u"tnt_psnusa",
       L"Converting TNT: Evilution (PSN, Europe) to TNT: Evilution (PSN, USA) goes through TNT: "
       L"Evilution, and the patch from TNT: Evilution (PSN, Europe) to TNT: Evilution "
       L"(tnt_psneur_to_tnt_v19.vcdiff)" +
           std::wstring(kWhereFrom)},
      {u"tnt_psnusa", u"tnt_psneur",
       L"Converting TNT: Evilution (PSN, USA) to TNT: Evilution (PSN, Europe) goes through TNT: "
       L"Evilution, and the patch from TNT: Evilution to TNT: Evilution (PSN, Europe) "
       L"(tnt_v19_to_tnt_psneur.vcdiff)" +
           std::wstring(kWhereFrom)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.target.begin(), row.target.end()));
    ui_.messages.clear();
    Prepare(row.source, row.target);
    // The list said so before Patch! was pressed.
    const LRESULT line = SendMessageW(Item(IDC_TARGET_LIST), LB_GETCURSEL, 0, 0);
    ASSERT_GE(line, 0);
    EXPECT_EQ(
        ListTexts(Item(IDC_TARGET_LIST))[static_cast<size_t>(line)],
        AsWide(GetIwad(FindIwadByReleaseId(row.target)).title) + std::wstring(kPatchMissingMark));
    Click(IDC_PATCH);
    // Said at once: no save dialog, no file made.
    EXPECT_TRUE(ui_.save_dialogs.empty());
    ExpectOneMessage(std::wstring(kPatchFailedText) + L"\n" + row.sentence, L"Error",
                     MB_ICONERROR | MB_OK);
    EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"input.wad"}));
    EXPECT_EQ(ReadFileBytes(input_), Bytes(row.source));
    EXPECT_TRUE(ui_.temp_files.empty());
    ExpectNoTemporaryFiles();

    // In place, it comes before the warning.
    SetInPlace();
    Click(IDC_PATCH);
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(FirstLine(ui_.messages[1].text), kPatchFailedText);
    EXPECT_EQ(ReadFileBytes(input_), Bytes(row.source));
    DestroyWindow(window_);
    window_ = nullptr;
  }
}

TEST_F(PatchCommandTest, UnwritableOutputFails) {
  Prepare(u"tnt_psnusa", u"tnt_v19");
  ui_.ChooseFile(work_ / "missing" / "tnt.wad");
  Click(IDC_PATCH);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(FirstLine(ui_.messages[0].text), kPatchFailedText);
  EXPECT_EQ(ReasonLines(ui_.messages[0].text)
                .rfind(L"Can't write in " + (work_ / "missing").wstring() + L": ", 0),
            0u);
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"input.wad"}));
  ExpectNoTemporaryFiles();
}

TEST_F(PatchCommandTest, FileChangedSinceIdentificationIsNotReportedAsSuccess) {
  Prepare(u"doom2_v1666", u"doom2_v19");
  // Another release now sits at the path the window identified.
  WriteFileBytes(input_, Bytes(u"doom2_xbox"));
  SetInPlace();
  ui_.AnswerMessage(IDYES);
  Click(IDC_PATCH);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[1].text,
            std::wstring(kPatchFailedText) + L"\nThe input changed while it was being converted.");
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_xbox"));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"input.wad"}));
  ExpectNoTemporaryFiles();
}

TEST_F(PatchCommandTest, NoTemporaryFileMeansNoConversion) {
  Prepare(u"doom2_v1666", u"doom2_zodiac");
  ui_.FailTempFiles(ERROR_DISK_FULL);
  ui_.ChooseFile(work_ / "zodiac.wad");
  Click(IDC_PATCH);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(FirstLine(ui_.messages[0].text), kPatchFailedText);
  EXPECT_EQ(ReasonLines(ui_.messages[0].text),
            L"Can't write in " + work_.wstring() + L": " + SystemErrorText(ERROR_DISK_FULL));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"input.wad"}));
}

// A folder the user may not write in is named, in the user's terms, whether the result was to go
// beside the input or replace it.
TEST_F(PatchCommandTest, AReadOnlyFolderIsNamed) {
  Prepare(u"doom2_v1666", u"doom2_v19");
  ui_.FailTempFiles(ERROR_ACCESS_DENIED);
  const std::wstring reason =
      L"Can't write in " + work_.wstring() + L": " + SystemErrorText(ERROR_ACCESS_DENIED);
  ui_.ChooseFile(work_ / "doom2-v19.wad");
  Click(IDC_PATCH);
  ExpectOneMessage(std::wstring(kPatchFailedText) + L"\n" + reason, L"Error", MB_ICONERROR | MB_OK);
  SetInPlace();
  ui_.AnswerMessage(IDYES);
  Click(IDC_PATCH);
  ASSERT_EQ(ui_.messages.size(), 3u);
  EXPECT_EQ(ui_.messages[2].text, std::wstring(kPatchFailedText) + L"\n" + reason);
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v1666"));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"input.wad"}));
}

TEST_F(PatchCommandTest, SavingOverTheInputConvertsItInPlace) {
  Prepare(u"doom2_v1666", u"doom2_v19");
  ui_.ChooseFile(input_);
  Click(IDC_PATCH);
  // The file is the one the window shows: no second line.
  ExpectOneMessage(PatchedText(), L"Tarvelline", MB_ICONINFORMATION | MB_OK);
  EXPECT_EQ(ReadFileBytes(input_), Bytes(u"doom2_v19"));
  EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"input.wad"}));
  ExpectNoTemporaryFiles();
  // The window follows the file it shows.
  EXPECT_EQ(ItemText(window_, IDC_RELEASE_LABEL), L"Doom 2 retail v1.9");
}

}  // namespace
}  // namespace tvl::testing
