#include "catalogue/catalogue.h"
#include "catalogue/sha1.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace tvl {
namespace {

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { InitIwadCatalogue(); }
};

TEST_F(CatalogueTest, NumbersEveryEntryByItsPosition) {
  for (int i = 0; i < kIwadCount; ++i) EXPECT_EQ(GetIwad(i).index, i);
  EXPECT_EQ(std::u16string(GetIwad(0).game_id), u"doom");
  EXPECT_EQ(std::u16string(GetIwad(0).version_id), u"v11");
  EXPECT_EQ(std::u16string(GetIwad(114).game_id), u"doom64");
  EXPECT_EQ(std::u16string(GetIwad(114).version_id), u"v11");
}

TEST_F(CatalogueTest, KeepsTheTableInvariants) {
  std::set<std::string> digests;
  std::set<std::u16string> ids, titles;
  int bases = 0, no_patch = 0;
  for (int i = 0; i < kIwadCount; ++i) {
    const IwadRecord& entry = GetIwad(i);
    std::string digest = entry.sha1_hex;
    ASSERT_EQ(digest.size(), 40u) << i;
    EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos) << i;
    EXPECT_TRUE(digests.insert(digest).second) << "duplicate digest at " << i;
    EXPECT_TRUE(ids.insert(FormatReleaseId(entry)).second) << "duplicate id at " << i;
    EXPECT_TRUE(titles.insert(entry.title).second) << "duplicate title at " << i;
    EXPECT_LE(std::u16string(entry.title).size(), 48u) << i;
    EXPECT_TRUE(entry.flags == 0 || entry.flags == kIwadBase || entry.flags == kIwadNoPatch);
    bases += (entry.flags & kIwadBase) ? 1 : 0;
    no_patch += (entry.flags & kIwadNoPatch) ? 1 : 0;
    // No patch name is ever built from an empty version id.
    if (*entry.version_id == u'\0') {
      EXPECT_EQ(entry.flags, kIwadNoPatch) << i;
    }
  }
  EXPECT_EQ(bases, 15);
  EXPECT_EQ(no_patch, 32);
  EXPECT_EQ(digests.count("da39a3ee5e6b4b0d3255bfef95601890afd80709"), 0u);
}

TEST_F(CatalogueTest, GamesStandTogetherAndAreOfOneKind) {
  std::set<std::u16string> finished;
  for (int i = 0; i < kIwadCount;) {
    std::u16string game = GetIwad(i).game_id;
    EXPECT_TRUE(finished.insert(game).second) << "game split: " << i;
    int base = 0, no_patch = 0, count = 0;
    for (; i < kIwadCount && GetIwad(i).game_id == game; ++i, ++count) {
      base += (GetIwad(i).flags & kIwadBase) ? 1 : 0;
      no_patch += (GetIwad(i).flags & kIwadNoPatch) ? 1 : 0;
    }
    EXPECT_TRUE((base == 1 && no_patch == 0) || (base == 0 && no_patch == count)) << i;
  }
  EXPECT_EQ(finished.size(), 23u);
}

TEST_F(CatalogueTest, FindsEntriesByDigestIgnoringCaseAndById) {
  EXPECT_EQ(FindIwadByDigest("7ec7652fcfce8ddc6e801839291f0e28ef1d5ae7"), 31);
  EXPECT_EQ(FindIwadByDigest("7EC7652FCFCE8DDC6E801839291F0E28EF1D5AE7"), 31);
  EXPECT_EQ(FindIwadByDigest("da39a3ee5e6b4b0d3255bfef95601890afd80709"), -1);
  EXPECT_EQ(FindIwadByDigest("7ec7652fcfce8ddc6e801839291f0e28ef1d5ae"), -1);
  EXPECT_EQ(FindIwadByDigest(""), -1);

  EXPECT_EQ(FindIwadByReleaseId(u"doom2_v19"), 31);
  EXPECT_EQ(FindIwadByReleaseId(u"voices_"), 70);
  EXPECT_EQ(FindIwadByReleaseId(u"voices"), -1);
  EXPECT_EQ(FindIwadByReleaseId(u"DOOM2_V19"), -1);
  EXPECT_EQ(FormatReleaseId(GetIwad(107)), u"fakeiwad_");
}

TEST_F(CatalogueTest, CarriesTheChosenTextsOfTwoEntries) {
  EXPECT_EQ(std::u16string(GetIwad(32).title), u"Doom 2 (Bethesda.net)");
  // Heretic v1.1 is named v12 so its routes use the names its patches are stored under.
  EXPECT_EQ(std::u16string(GetIwad(55).version_id), u"v12");
  EXPECT_EQ(std::u16string(GetIwad(55).title), u"Heretic retail v1.1");
}

// Every digest, id, title and flag of the table, as `tarvelline-cli list` prints it, digested:
// a one-character slip anywhere in the table fails here. Rerun `tarvelline-cli list | sha1sum`
// and update the pin only with a deliberate change of the table.
TEST_F(CatalogueTest, TableIsPinnedAsListed) {
  auto ascii = [](const char16_t* text) {
    std::string out;
    for (; *text; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
  };
  Sha1Context context;
  Sha1Init(&context);
  for (int i = 0; i < kIwadCount; ++i) {
    const IwadRecord& entry = GetIwad(i);
    const std::string line = std::to_string(i) + "\t" + ascii(entry.game_id) + "\t" +
                             ascii(entry.version_id) + "\t" + std::to_string(entry.flags) + "\t" +
                             entry.sha1_hex + "\t" + ascii(entry.title) + "\n";
    Sha1Update(&context, line.data(), line.size());
  }
  uint8_t digest[kSha1DigestSize];
  Sha1Final(&context, digest);
  std::string hex;
  for (uint8_t byte : digest) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", byte);
    hex += pair;
  }
  EXPECT_EQ(hex, "2d1bada45c4a68589b6107b5a9bf1879d6b45aab");
}

}  // namespace
}  // namespace tvl
