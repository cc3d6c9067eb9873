// Applying built-in patches by name, against the synthetic test store.
#include "patching/apply_patch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

// Failures are quiet and say why. A missing input or patch still leaves the output created,
// and empty.
TEST_F(ApplyPatchTest, FailuresAreQuietAndSayWhy) {
  const Path missing = dir_ / "missing.wad";
  const Path zeros = dir_ / "zeros.wad";
  WriteFileBytes(zeros, std::vector<uint8_t>(6000, 0));
  const struct {
    const char* name;
    Path input;
    const char16_t* patch;
    ApplyFailure failure;
    std::string diagnostic;
    const char* message;  // the decoder's, or null
    bool output_emptied;
  } rows[] = {
      {"missing patch", source_, u"doom2_v19_to_doom2_zodiac", ApplyFailure::kNoPatch,
       "Couldn't open patch data: doom2_v19_to_doom2_zodiac", nullptr, true},
      // Both the input and the patch name are bad: the input is reported, alone.
      {"unopenable input", missing, u"no_such_patch", ApplyFailure::kOpenInput,
       "Couldn't open for read: " + PathToUtf8(missing), nullptr, true},
      // Not one of the applier's three diagnostics.
      {"wrong source", zeros, u"doom2_v19_to_doom2_xbox", ApplyFailure::kDecode, "",
       "target window checksum mismatch", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFileBytes(output_, {'o', 'l', 'd'});
    CaptureStderr();
    ApplyError error;
    EXPECT_FALSE(ApplyPatch(row.input, row.patch, output_, &error));
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(error.failure, row.failure);
    if (row.message) {
      EXPECT_STREQ(error.message, row.message);
    }
    EXPECT_EQ(Diagnostic(error, row.input, row.patch, output_), row.diagnostic);
    if (row.output_emptied) {
      ASSERT_TRUE(std::filesystem::exists(output_));
      EXPECT_TRUE(ReadFileBytes(output_).empty());
    }
  }
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

}  // namespace
}  // namespace tvl
