// Applying built-in patches by name, against the synthetic test store.
#include "patching/apply_patch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

std::string Utf8(const Path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

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
    EXPECT_EQ(ApplyPatch(source_, stream.name, output_, &error), 1) << error.message;
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(ReadFileBytes(output_), stream.target);
  }
}

TEST_F(ApplyPatchTest, MissingPatchLeavesAnEmptyOutput) {
  CaptureStderr();
  ApplyError error;
  EXPECT_EQ(ApplyPatch(source_, u"doom2_v19_to_doom2_zodiac", output_, &error), 0);
  EXPECT_EQ(GetCapturedStderr(), "Couldn't open patch data: doom2_v19_to_doom2_zodiac\n");
  EXPECT_EQ(error.failure, ApplyFailure::kNoPatch);
  ASSERT_TRUE(std::filesystem::exists(output_));
  EXPECT_TRUE(ReadFileBytes(output_).empty());
}

TEST_F(ApplyPatchTest, UnopenableInputStillCreatesTheOutput) {
  const Path missing = dir_ / "missing.wad";
  CaptureStderr();
  ApplyError error;
  // Both the input and the patch name are bad: the input is reported, alone.
  EXPECT_EQ(ApplyPatch(missing, u"no_such_patch", output_, &error), 0);
  EXPECT_EQ(GetCapturedStderr(), "Couldn't open for read: " + Utf8(missing) + "\n");
  EXPECT_EQ(error.failure, ApplyFailure::kOpenInput);
  ASSERT_TRUE(std::filesystem::exists(output_));
  EXPECT_TRUE(ReadFileBytes(output_).empty());
}

TEST_F(ApplyPatchTest, UncreatableOutput) {
  const Path output = dir_ / "absent-dir" / "out.wad";
  CaptureStderr();
  EXPECT_EQ(ApplyPatch(source_, u"doom2_v19_to_doom2_xbox", output), 0);
  EXPECT_EQ(GetCapturedStderr(), "Couldn't open for write: " + Utf8(output) + "\n");
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(ApplyPatchTest, WrongSourceFailsQuietlyWithTheDecodersMessage) {
  WriteFileBytes(source_, std::vector<uint8_t>(6000, 0));
  CaptureStderr();
  ApplyError error;
  EXPECT_EQ(ApplyPatch(source_, u"doom2_v19_to_doom2_xbox", output_, &error), 0);
  EXPECT_EQ(GetCapturedStderr(), "");
  EXPECT_EQ(error.failure, ApplyFailure::kDecode);
  EXPECT_STREQ(error.message, "target window checksum mismatch");
}

}  // namespace
}  // namespace tvl
