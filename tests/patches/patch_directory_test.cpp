#include "patches/patch_directory.h"

#include <gtest/gtest.h>

#include <vector>

#include "patches/patch_names.h"
#include "tests/patches/test_store_streams.h"

namespace tvl {
namespace {

using testing::TestStoreStreams;

// Outputs start as garbage so that a miss has to clear them.
const uint8_t kGarbage[1] = {0xEE};

TEST(FindPatchTest, FindsEmbeddedStreamsByteForByte) {
  for (const auto& stream : TestStoreStreams()) {
    const uint8_t* data = kGarbage;
    uint32_t length = 12345;
    ASSERT_EQ(FindPatch(stream.name, &data, &length), 1);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(data, data + length), stream.bytes);
    // A lookup copies nothing: the same constant bytes each time.
    const uint8_t* again = nullptr;
    FindPatch(stream.name, &again, nullptr);
    EXPECT_EQ(again, data);
  }
}

TEST(FindPatchTest, MissesAnythingButTheExactName) {
  const char16_t* const misses[] = {
      u"DOOM2_V19_TO_DOOM2_XBOX",  // same name in upper case
      u"Doom2_v19_to_doom2_xbox",
      u"",
      u"doom2_v19_to_doom2_v19",               // a release into itself
      u"freedoom1_v0.9_to_freedoom1_v0.12.1",  // identification-only game
      u"chex_v10_to_chex_v10",
      u"doom2_v19_to_doom2_xbo",  // prefix of a stored name
      u"doom2_v19_to_doom2_xbox2",
      u"doom2_v19_to_doom2_xbox ",
      u"doom2_v19_to_doom2_xbox.vcdiff",
      u"heretic_v11_to_heretic_v13",  // the catalogue's id; the table says v12
  };
  for (const char16_t* name : misses) {
    const uint8_t* data = kGarbage;
    uint32_t length = 12345;
    EXPECT_EQ(FindPatch(name, &data, &length), 0);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(length, 0u);
  }
  EXPECT_EQ(FindPatch(nullptr, nullptr, nullptr), 0);
}

TEST(FindPatchTest, MissesNamesWhoseStreamWasAbsentAtBuildTime) {
  const uint8_t* data = kGarbage;
  uint32_t length = 1;
  EXPECT_EQ(FindPatch(u"doom2_v19_to_doom2_zodiac", &data, &length), 0);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(FindPatch(u"sdoom_v18_to_sdoom_v19", nullptr, nullptr), 0);
}

TEST(FindPatchTest, OutputsAreOptional) {
  EXPECT_EQ(FindPatch(u"doom2_v19_to_doom2_xbox", nullptr, nullptr), 1);
  EXPECT_EQ(FindPatch(u"DOOM2_V19_TO_DOOM2_XBOX", nullptr, nullptr), 0);

  uint32_t length = 0;
  EXPECT_EQ(FindPatch(u"chex3_moddb_to_chex3_v14", nullptr, &length), 1);
  EXPECT_EQ(length, TestStoreStreams()[1].bytes.size());
  const uint8_t* data = nullptr;
  EXPECT_EQ(FindPatch(u"doom64_v11_to_doom64_v10", &data, nullptr), 1);
  EXPECT_NE(data, nullptr);

  // A miss leaves an omitted output alone and still clears the other.
  length = 7;
  EXPECT_EQ(FindPatch(u"nerve_bfg_to_nerve_unity12", nullptr, &length), 0);
  EXPECT_EQ(length, 0u);
}

TEST(FindPatchTest, FindsEveryTableNameInAFullStoreOnly) {
  // The test store holds three streams; every other name of the table misses.
  int found = 0;
  for (const char16_t* name : kPatchNames) found += FindPatch(name, nullptr, nullptr);
  EXPECT_EQ(found, 3);
}

}  // namespace
}  // namespace tvl
