// Applying built-in patches by name, against the synthetic test store.
#include "patching/apply_patch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/text.h"
#include "tests/patches/test_store_streams.h"
#include "tests/test_files.h"

namespace tvl {
namespace {

using testing::ReadFileBytes;
using testing::ScratchDir;
using testing::TestStoreStreams;
using testing::WriteFileBytes;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

class ApplyPatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(source_, testing::TestStoreSource());
    // A stale output that every run must replace.
    WriteFileBytes(output_, {'o', 'l', 'd'});
  }

  ScratchDir dir_;
  Path source_ = dir_ / "doom2.wad";
  Path output_ = dir_ / "out.wad";
};

TEST_F(ApplyPatchTest, AppliesAStoredPatchSilently) {
  for (const auto& stream : TestStoreStreams()) {
    CaptureStderr();
    ApplyError error;
    EXPECT_TRUE(ApplyPatch(source_, stream.name, output_, &error)) << error.message;
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(ReadFileBytes(output_), stream.target);
  }
}

// The library prints nothing; the diagnostic comes back for the program to print.
std::string Diagnostic(const ApplyError& error, const Path& input, const char16_t* patch,
                       const Path& output) {
  return ApplyPatchDiagnostic(error, input, Narrow(patch), output);
}

TEST_F(ApplyPatchTest, MissingPatchLeavesAnEmptyOutput) {
  CaptureStderr();
  ApplyError error;
  EXPECT_FALSE(ApplyPatch(source_, u"doom2_v19_to_doom2_zodiac", output_, &error));
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(error.failure, ApplyFailure::kNoPatch);
  EXPECT_EQ(Diagnostic(error, source_, u"doom2_v19_to_doom2_zodiac", output_),
            "Couldn't open patch data: doom2_v19_to_doom2_zodiac");
  ASSERT_TRUE(std::filesystem::exists(output_));
  EXPECT_TRUE(ReadFileBytes(output_).empty());
}

TEST_F(ApplyPatchTest, UnopenableInputStillCreatesTheOutput) {
  const Path missing = dir_ / "missing.wad";
  CaptureStderr();
  ApplyError error;
  // Both the input and the patch name are bad: the input is reported, alone.
  EXPECT_FALSE(ApplyPatch(missing, u"no_such_patch", output_, &error));
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(error.failure, ApplyFailure::kOpenInput);
  EXPECT_EQ(Diagnostic(error, missing, u"no_such_patch", output_),
            "Couldn't open for read: " + PathToUtf8(missing));
  ASSERT_TRUE(std::filesystem::exists(output_));
  EXPECT_TRUE(ReadFileBytes(output_).empty());
}

TEST_F(ApplyPatchTest, UncreatableOutput) {
  const Path output = dir_ / "absent-dir" / "out.wad";
  CaptureStderr();
  ApplyError error;
  EXPECT_FALSE(ApplyPatch(source_, u"doom2_v19_to_doom2_xbox", output, &error));
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(Diagnostic(error, source_, u"doom2_v19_to_doom2_xbox", output),
            "Couldn't open for write: " + PathToUtf8(output));
  // The fuller description adds the system's reason.
  EXPECT_EQ(DescribeApplyError(error, source_, "doom2_v19_to_doom2_xbox", output)
                .rfind("Couldn't open for write: " + PathToUtf8(output) + " (", 0),
            0u);
  EXPECT_FALSE(std::filesystem::exists(output));
  // Without a record to fill, a failure is still only a 0.
  CaptureStderr();
  EXPECT_FALSE(ApplyPatch(source_, u"doom2_v19_to_doom2_xbox", output));
  EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(ApplyPatchTest, WrongSourceFailsQuietlyWithTheDecodersMessage) {
  WriteFileBytes(source_, std::vector<uint8_t>(6000, 0));
  CaptureStderr();
  ApplyError error;
  EXPECT_FALSE(ApplyPatch(source_, u"doom2_v19_to_doom2_xbox", output_, &error));
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(error.failure, ApplyFailure::kDecode);
  EXPECT_STREQ(error.message, "target window checksum mismatch");
  // Not one of the applier's three diagnostics.
  EXPECT_EQ(Diagnostic(error, source_, u"doom2_v19_to_doom2_xbox", output_), "");
}

}  // namespace
}  // namespace tvl
