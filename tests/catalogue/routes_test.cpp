#include "catalogue/routes.h"

#include <gtest/gtest.h>

namespace tvl {
namespace {

class RoutesTest : public ::testing::Test {
 protected:
  void SetUp() override { InitIwadCatalogue(); }
  static const IwadRecord& Release(std::u16string_view id) {
    int index = FindIwadByReleaseId(id);
    EXPECT_GE(index, 0);
    return GetIwad(index < 0 ? 0 : index);
  }
  static std::vector<std::u16string> Route(std::u16string_view from, std::u16string_view to) {
    return FindPatchRoute(Release(from), Release(to));
  }
};

TEST_F(RoutesTest, BaseOffersItsWholeGameInCatalogueOrder) {
  TargetList list = BuildTargetList(GetIwad(5));  // The Ultimate Doom retail v1.9
  ASSERT_EQ(list.items.size(), 14u);
  EXPECT_TRUE(list.enabled);
  EXPECT_EQ(list.items.front().text, u"Doom retail v1.1");
  EXPECT_EQ(list.items.back().text, u"The Ultimate Doom (Xbox)");
  int previous = -1;
  for (const TargetItem& item : list.items) {
    ASSERT_TRUE(item.item_data);
    EXPECT_NE(*item.item_data, 5);
    EXPECT_GT(*item.item_data, previous);
    EXPECT_EQ(item.text, GetIwad(*item.item_data).title);
    previous = *item.item_data;
  }
}

TEST_F(RoutesTest, IdentificationOnlyGamesListButDisable) {
  TargetList freedoom = BuildTargetList(GetIwad(75));
  EXPECT_EQ(freedoom.items.size(), 8u);
  EXPECT_FALSE(freedoom.enabled);

  TargetList chex = BuildTargetList(Release(u"chex_"));
  ASSERT_EQ(chex.items.size(), 1u);
  EXPECT_EQ(chex.items[0].text, u"No other versions of this IWAD are available");
  EXPECT_FALSE(chex.items[0].item_data);
  EXPECT_FALSE(chex.enabled);

  TargetList moddb = BuildTargetList(Release(u"chex3_moddb"));
  ASSERT_EQ(moddb.items.size(), 1u);
  EXPECT_EQ(moddb.items[0].text, u"Chex Quest 3 v1.4");
  EXPECT_TRUE(moddb.enabled);
}

TEST_F(RoutesTest, FindsBases) {
  EXPECT_EQ(FindBaseIwad(u"doom"), 5);
  EXPECT_EQ(FindBaseIwad(u"doom2"), 31);
  EXPECT_EQ(FindBaseIwad(u"nerve"), 71);
  EXPECT_EQ(FindBaseIwad(u"freedoom1"), -1);
  EXPECT_EQ(FindBaseIwad(u"chex"), -1);
  EXPECT_EQ(FindBaseIwad(u"DOOM"), -1);
  EXPECT_EQ(FindBaseIwad(u""), -1);
}

TEST_F(RoutesTest, RoutesRunDirectOrThroughTheBase) {
  using Names = std::vector<std::u16string>;
  EXPECT_EQ(Route(u"doom_u19", u"doom_xbla"), Names{u"doom_u19_to_doom_xbla"});
  EXPECT_EQ(Route(u"doom2_v1666", u"doom2_zodiac"),
            (Names{u"doom2_v1666_to_doom2_v19", u"doom2_v19_to_doom2_zodiac"}));
  EXPECT_EQ(Route(u"doom2_xbox", u"doom2_v19"), Names{u"doom2_xbox_to_doom2_v19"});
  EXPECT_EQ(Route(u"nerve_unity11", u"nerve_unity13"),
            (Names{u"nerve_unity11_to_nerve_bfg", u"nerve_bfg_to_nerve_unity13"}));
  EXPECT_EQ(Route(u"chex3_moddb", u"chex3_v14"), Names{u"chex3_moddb_to_chex3_v14"});
  // Heretic v1.1 routes by the names its patches are stored under.
  EXPECT_EQ(Route(u"heretic_v12", u"heretic_v10"),
            (Names{u"heretic_v12_to_heretic_v13", u"heretic_v13_to_heretic_v10"}));
  EXPECT_EQ(Route(u"heretic_v13", u"heretic_v12"), Names{u"heretic_v13_to_heretic_v12"});
}

TEST_F(RoutesTest, NoRouteForIdentificationOnlySameOrForeignReleases) {
  EXPECT_TRUE(Route(u"freedoom1_v0.9", u"freedoom1_v0.12.1").empty());
  EXPECT_TRUE(Route(u"doom2_v19", u"doom2_v19").empty());
  EXPECT_TRUE(Route(u"doom2_v19", u"tnt_v19").empty());
  EXPECT_FALSE(CanPatch(GetIwad(75), GetIwad(76)));
  EXPECT_TRUE(CanPatch(GetIwad(25), GetIwad(41)));
}

TEST_F(RoutesTest, EveryPatchableGameYieldsThe136StoredPairs) {
  int names = 0;
  size_t longest = 0;
  for (int i = 0; i < kIwadCount; ++i) {
    const IwadRecord& entry = GetIwad(i);
    if (entry.flags != 0) continue;
    const IwadRecord& base = GetIwad(FindBaseIwad(entry.game_id));
    for (const auto& name : {FormatPatchName(entry, base), FormatPatchName(base, entry)}) {
      ++names;
      longest = std::max(longest, name.size());
    }
  }
  EXPECT_EQ(names, 136);
  EXPECT_EQ(longest, 35u);
}

}  // namespace
}  // namespace tvl
