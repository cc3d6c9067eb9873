#include "patches/patch_names.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <set>
#include <string>

namespace tvl {
namespace {

std::string Narrow(const char16_t* text) {
  std::string narrow;
  for (; *text; ++text) narrow.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return narrow;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

struct Release {
  std::string game, version;
};

// "<game>_<version>" (game ids hold no "_").
Release SplitRelease(const std::string& text) {
  size_t underscore = text.find('_');
  if (underscore == std::string::npos) return {};
  return {text.substr(0, underscore), text.substr(underscore + 1)};
}

ptrdiff_t IndexOf(const std::string& name) {
  for (size_t i = 0; i < kPatchCount; ++i) {
    if (Narrow(kPatchNames[i]) == name) return static_cast<ptrdiff_t>(i);
  }
  return -1;
}

TEST(PatchNamesTest, AreUniqueAndInUpperCaseOrder) {
  std::set<std::string> seen;
  for (size_t i = 0; i < kPatchCount; ++i) {
    const std::string name = Narrow(kPatchNames[i]);
    EXPECT_TRUE(seen.insert(name).second) << "duplicate " << name;
    if (i > 0) {
      EXPECT_LT(Upper(Narrow(kPatchNames[i - 1])), Upper(name)) << "at " << i;
    }
  }
  EXPECT_EQ(seen.size(), 136u);
  // Upper-case order puts "_" after letters and digits.
  EXPECT_LT(IndexOf("doom2_v1666g_to_doom2_v19"), IndexOf("doom2_v1666_to_doom2_v19"));
  EXPECT_LT(IndexOf("doom64_v10_to_doom64_v11"), IndexOf("doom_u19_to_doom_v12"));
}

TEST(PatchNamesTest, FormAStarAroundEachBaseRelease) {
  // Base release and number of other releases with a patch pair, per patchable game.
  const std::map<std::string, std::pair<std::string, int>> games = {
      {"doom", {"u19", 14}},   {"sdoom", {"v19", 9}},    {"doom2", {"v19", 16}},
      {"tnt", {"v19", 5}},     {"plutonia", {"v19", 5}}, {"heretic", {"v13", 2}},
      {"hexen", {"v11", 3}},   {"hexdd", {"v11", 1}},    {"strife1", {"v12", 1}},
      {"sve", {"v13", 4}},     {"nerve", {"bfg", 3}},    {"hacx", {"v12", 2}},
      {"harmony", {"v11", 1}}, {"chex3", {"v14", 1}},    {"doom64", {"v10", 1}},
  };
  std::set<std::string> names;
  for (const char16_t* name : kPatchNames) names.insert(Narrow(name));

  std::map<std::string, int> per_game;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_GE(name.size(), 18u);
    EXPECT_LE(name.size(), 35u);
    EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_"), std::string::npos);
    const size_t to = name.find("_to_");
    ASSERT_NE(to, std::string::npos);
    const Release source = SplitRelease(name.substr(0, to));
    const Release target = SplitRelease(name.substr(to + 4));
    EXPECT_EQ(source.game, target.game);
    ASSERT_EQ(games.count(source.game), 1u);
    const std::string& base = games.at(source.game).first;
    EXPECT_NE(source.version == base, target.version == base) << "one side is the base";
    // Every patch has its way back.
    EXPECT_EQ(names.count(target.game + "_" + target.version + "_to_" + source.game + "_" +
                          source.version),
              1u);
    ++per_game[source.game];
  }
  for (const auto& [game, base_and_pairs] : games) {
    EXPECT_EQ(per_game[game], 2 * base_and_pairs.second) << game;
  }
}

}  // namespace
}  // namespace tvl
