// What the user is shown for each outcome of a conversion.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/failure_text.h"
#include "app/patch_command.h"
#include "app/program.h"
#include "resources/main_window_ids.h"
#include "tests/app/main_window_fixture.h"

namespace tvl::testing {
namespace {

std::wstring SystemText(DWORD error) {
  wchar_t text[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, 512, nullptr);
  return text;
}

class PatchCommandReportTest : public MainWindowTest {
 protected:
  // The one message shown for `status`.
  ShownMessage Report(ConvertStatus status, bool replaces_input, FileError error = 0) {
    ConvertReport report;
    report.status = status;
    report.file_error = error;
    ui_.messages.clear();
    ReportConversion(window_, report, scratch_ / "out.wad", replaces_input);
    EXPECT_EQ(ui_.messages.size(), 1u);
    return ui_.messages.empty() ? ShownMessage{} : ui_.messages.back();
  }
};

TEST_F(PatchCommandReportTest, EachOutcomeHasItsMessage) {
  Open();
  // A new file is named on the second line (in place, the window shows it: see below).
  ShownMessage success = Report(ConvertStatus::kConverted, false);
  EXPECT_EQ(FirstLine(success.text), L"IWAD patched successfully!");
  EXPECT_EQ(ReasonLines(success.text), (scratch_ / "out.wad").wstring());
  EXPECT_EQ(success.caption, L"Tarvelline");
  EXPECT_EQ(success.type, UINT{MB_ICONINFORMATION | MB_OK});

  for (ConvertStatus status : {ConvertStatus::kNoRoute, ConvertStatus::kTempFailed,
                               ConvertStatus::kPatchFailed, ConvertStatus::kVerifyFailed}) {
    for (bool in_place : {false, true}) {
      ShownMessage failure = Report(status, in_place, ERROR_DISK_FULL);
      EXPECT_EQ(FirstLine(failure.text), L"An error occured while patching.");
      EXPECT_FALSE(ReasonLines(failure.text).empty());
      EXPECT_EQ(failure.caption, L"Error");
      EXPECT_EQ(failure.type, UINT{MB_ICONERROR | MB_OK});
    }
  }
  // The system's own text for the file's trouble.
  ConvertReport no_room;
  no_room.status = ConvertStatus::kTempFailed;
  no_room.file_error = ERROR_ACCESS_DENIED;
  no_room.temp_folder = scratch_.path() / "games";
  EXPECT_EQ(ConversionFailureReason(no_room, scratch_ / "games" / "out.wad"),
            L"Can't write in " + no_room.temp_folder.wstring() + L": " +
                SystemErrorText(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ReasonLines(Report(ConvertStatus::kVerifyFailed, false).text),
            L"The input changed while it was being converted.");

  // Another program holding the file, or a place that can't be changed, in a player's words.
  const std::wstring out = L"\"" + (scratch_ / "out.wad").wstring() + L"\"";
  ShownMessage locked = Report(ConvertStatus::kCannotReplace, true, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(
      locked.text,
      L"An error occurred while deleting the file:\n" + out +
          L" is in use by another program (close the game or the launcher and try again).\r\n");
  EXPECT_EQ(locked.caption, L"Error");
  EXPECT_EQ(locked.type, UINT{MB_ICONERROR | MB_OK});
  EXPECT_EQ(locked.owner, window_);

  ShownMessage move = Report(ConvertStatus::kReplaceFailed, true, ERROR_ACCESS_DENIED);
  EXPECT_EQ(move.text, L"An error occurred while replacing the file:\n" + out +
                           L" can't be changed here.\r\n");
  // Other errors keep the system's text.
  EXPECT_EQ(Report(ConvertStatus::kReplaceFailed, true, ERROR_DISK_FULL).text,
            L"An error occurred while replacing the file:\n" + SystemText(ERROR_DISK_FULL));
  EXPECT_EQ(move.caption, L"Error");

  // Into a new file, a failed move is a failed conversion like any other, naming the file.
  EXPECT_EQ(Report(ConvertStatus::kReplaceFailed, false, ERROR_ACCESS_DENIED).text,
            L"An error occured while patching.\nCould not replace " + out +
                L": it can't be changed here.");
  EXPECT_EQ(Report(ConvertStatus::kReplaceFailed, false, ERROR_DISK_FULL).text,
            L"An error occured while patching.\nCould not replace " + out + L": " +
                SystemErrorText(ERROR_DISK_FULL));
}

TEST_F(PatchCommandReportTest, FailedStepsSayWhy) {
  Open();
  auto reason = [&](ApplyError error) {
    ConvertReport report;
    report.status = ConvertStatus::kPatchFailed;
    report.apply_error = error;
    report.failed_patch = u"doom2_v1666_to_doom2_v19";
    report.step_input = scratch_ / "in.wad";
    report.step_output = scratch_ / "out.wad";
    ui_.messages.clear();
    ReportConversion(window_, report, report.step_output, false);
    EXPECT_EQ(ui_.messages.size(), 1u);
    return ui_.messages.empty() ? std::wstring() : ReasonLines(ui_.messages[0].text);
  };
  EXPECT_EQ(reason({ApplyFailure::kNoPatch, "Couldn't open patch data", 0}),
            L"The patch from Doom 2 retail v1.666 to Doom 2 retail v1.9 is missing.\n"
            L"Put doom2_v1666_to_doom2_v19.vcdiff in the \"patches\" folder beside "
            L"tarvelline.exe.");
  EXPECT_EQ(reason({ApplyFailure::kWrite, "Couldn't write output", ERROR_DISK_FULL}),
            L"Could not write \"" + (scratch_ / "out.wad").wstring() + L"\": " +
                SystemErrorText(ERROR_DISK_FULL));
  EXPECT_EQ(
      reason({ApplyFailure::kOpenInput, "Couldn't open for read", ERROR_SHARING_VIOLATION}),
      L"Could not read \"" + (scratch_ / "in.wad").wstring() +
          L"\": it is in use by another program (close the game or the launcher and try again).");
  EXPECT_EQ(
      reason({ApplyFailure::kReadInput, "Couldn't read input", ERROR_LOCK_VIOLATION}),
      L"Could not read \"" + (scratch_ / "in.wad").wstring() +
          L"\": it is in use by another program (close the game or the launcher and try again).");
  EXPECT_EQ(reason({ApplyFailure::kOpenInput, "Couldn't open for read", ERROR_ACCESS_DENIED}),
            L"Could not read \"" + (scratch_ / "in.wad").wstring() + L"\": it can't be read here.");
  EXPECT_EQ(
      reason({ApplyFailure::kCreateOutput, "Couldn't create output", ERROR_ACCESS_DENIED}),
      L"Could not create \"" + (scratch_ / "out.wad").wstring() + L"\": it can't be changed here.");
  EXPECT_EQ(reason({ApplyFailure::kDecode, "target window checksum mismatch", 0}),
            L"The patch doom2_v1666_to_doom2_v19 could not be applied: target window checksum "
            L"mismatch.");
}

TEST_F(PatchCommandReportTest, StoppedConversionShowsNothing) {
  Open();
  ConvertReport report;
  report.status = ConvertStatus::kCancelled;
  ReportConversion(window_, report, scratch_ / "out.wad", true);
  EXPECT_TRUE(ui_.messages.empty());
}

// An input that could not be read to the end is named as the cause, under the designed line.
TEST_F(PatchCommandReportTest, AnInputThatGaveOutSaysWhy) {
  Open();
  ConvertReport report;
  report.status = ConvertStatus::kPatchFailed;
  report.step_input = scratch_ / "in.wad";
  report.apply_error = {ApplyFailure::kReadInput, "Couldn't read input",
                        ERROR_DEVICE_NOT_CONNECTED};
  ReportConversion(window_, report, scratch_ / "out.wad", false);
  report.apply_error = {ApplyFailure::kReadInput, "The input changed while it was being converted.",
                        0};
  ReportConversion(window_, report, scratch_ / "in.wad", true);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].text, L"An error occured while patching.\nCould not read \"" +
                                      (scratch_ / "in.wad").wstring() + L"\": " +
                                      SystemErrorText(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_EQ(ui_.messages[0].caption, L"Error");
  EXPECT_EQ(ui_.messages[1].text,
            L"An error occured while patching.\nThe input changed while it was being converted.");
  EXPECT_EQ(ui_.messages[1].type, UINT{MB_ICONERROR | MB_OK});
}

TEST_F(PatchCommandReportTest, ReplacedInputIsIdentifiedBeforeTheSuccessMessage) {
  Open();
  Path file = scratch_ / "unknown.wad";
  WriteFileText(file, "not a release");
  SetDlgItemTextW(window_, IDC_INPUT_PATH, file.c_str());
  ConvertReport report;
  ReportConversion(window_, report, file, true);
  // Whatever identification says comes first.
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(FirstLine(ui_.messages[0].text),
            L"Could not identify the specified WAD file. Please try a valid IWAD.");
  EXPECT_EQ(ui_.messages[1].text, L"IWAD patched successfully!");
}

}  // namespace
}  // namespace tvl::testing
