// What the user is shown for each outcome of a conversion.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

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
    ReportConversion(window_, report, replaces_input);
    EXPECT_EQ(ui_.messages.size(), 1u);
    return ui_.messages.empty() ? ShownMessage{} : ui_.messages.back();
  }
};

TEST_F(PatchCommandReportTest, EachOutcomeHasItsMessage) {
  Open();
  ShownMessage success = Report(ConvertStatus::kConverted, false);
  EXPECT_EQ(success.text, L"IWAD patched successfully!");
  EXPECT_EQ(success.caption, L"Tarvelline");
  EXPECT_EQ(success.type, UINT{MB_ICONINFORMATION | MB_OK});

  for (ConvertStatus status : {ConvertStatus::kNoRoute, ConvertStatus::kTempFailed,
                               ConvertStatus::kPatchFailed, ConvertStatus::kVerifyFailed}) {
    for (bool in_place : {false, true}) {
      ShownMessage failure = Report(status, in_place, ERROR_DISK_FULL);
      EXPECT_EQ(failure.text, L"An error occured while patching.");
      EXPECT_EQ(failure.caption, L"Error");
      EXPECT_EQ(failure.type, UINT{MB_ICONERROR | MB_OK});
    }
  }

  ShownMessage locked = Report(ConvertStatus::kCannotReplace, true, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(locked.text,
            L"An error occurred while deleting the file:\n" + SystemText(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(locked.caption, L"Error");
  EXPECT_EQ(locked.type, UINT{MB_ICONERROR | MB_OK});
  EXPECT_EQ(locked.owner, window_);

  ShownMessage move = Report(ConvertStatus::kReplaceFailed, true, ERROR_ACCESS_DENIED);
  EXPECT_EQ(move.text,
            L"An error occurred while replacing the file:\n" + SystemText(ERROR_ACCESS_DENIED));
  EXPECT_EQ(move.caption, L"Error");

  // Into a new file, a failed move is a failed conversion like any other.
  EXPECT_EQ(Report(ConvertStatus::kReplaceFailed, false, ERROR_ACCESS_DENIED).text,
            L"An error occured while patching.");
}

// An input that could not be read to the end is named as the cause, not a generic failure.
TEST_F(PatchCommandReportTest, AnInputThatGaveOutSaysWhy) {
  Open();
  ConvertReport report;
  report.status = ConvertStatus::kPatchFailed;
  report.apply_error = {ApplyFailure::kReadInput, "Couldn't read input",
                        ERROR_DEVICE_NOT_CONNECTED};
  ReportConversion(window_, report, false);
  report.apply_error = {ApplyFailure::kReadInput, "The input changed while it was being converted.",
                        0};
  ReportConversion(window_, report, true);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].text, L"An error occurred while reading the file:\n" +
                                      SystemText(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_EQ(ui_.messages[0].caption, L"Error");
  EXPECT_EQ(ui_.messages[1].text, L"The input changed while it was being converted.");
  EXPECT_EQ(ui_.messages[1].type, UINT{MB_ICONERROR | MB_OK});
}

TEST_F(PatchCommandReportTest, ReplacedInputIsIdentifiedBeforeTheSuccessMessage) {
  Open();
  Path file = scratch_ / "unknown.wad";
  WriteFileText(file, "not a release");
  SetDlgItemTextW(window_, IDC_INPUT_PATH, file.c_str());
  ConvertReport report;
  ReportConversion(window_, report, true);
  // Whatever identification says comes first.
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].text,
            L"Could not identify the specified WAD file. Please try a valid IWAD.");
  EXPECT_EQ(ui_.messages[1].text, L"IWAD patched successfully!");
}

}  // namespace
}  // namespace tvl::testing
