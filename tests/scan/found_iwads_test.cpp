// What the Windows program's search shows of each file found: plain files and zipped WAD files
// identified with the synthetic releases, the rows' locations and the places' names.
#include "scan/found_iwads.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"
#include "zip/zip_writer.h"

namespace tvl {
namespace {

using testing::ScratchDir;

class FoundIwadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitIwadCatalogue();
    std::filesystem::create_directories(temp_);
  }
  std::vector<FoundIwad> Identify(const Path& file) {
    return IdentifyFoundFile(file, {scratch_.path(), "steam"}, temp_, {});
  }
  ScratchDir scratch_;
  Path temp_ = scratch_ / "temp";
};

int Release(std::u16string_view id) { return FindIwadByReleaseId(id); }

TEST_F(FoundIwadsTest, APlainFileIsOneRowKnownOrNot) {
  const Path known = testing::WriteSyntheticRelease(scratch_.path(), u"doom2_v19", "DOOM2.WAD");
  testing::WriteFileText(scratch_ / "odd.wad", "PWAD, and not a release");
  struct Case {
    Path file;
    int release;
  } cases[] = {
      {known, Release(u"doom2_v19")},
      {scratch_ / "odd.wad", -1},
      {scratch_ / "gone.wad", -1},  // went between the search and its identification
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(PathToUtf8(c.file));
    const std::vector<FoundIwad> rows = Identify(c.file);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].file, c.file);
    EXPECT_EQ(rows[0].entry, "");
    EXPECT_EQ(rows[0].release, c.release);
    EXPECT_EQ(rows[0].rule, "steam");
    EXPECT_EQ(FoundIwadLocation(rows[0]), PathToUtf8(c.file));
  }
}

TEST_F(FoundIwadsTest, AnArchiveIsARowPerWadFileAndLeavesNoCopies) {
  ZipWriter zip;
  const std::span<const uint8_t> doom2 = testing::SyntheticReleaseBytes(u"doom2_v19");
  const std::string other = "IWAD of nobody's release";
  ASSERT_TRUE(zip.Add("iwads/DOOM2.WAD", doom2));
  ASSERT_TRUE(zip.Add("readme.txt", std::span<const uint8_t>()));
  ASSERT_TRUE(zip.Add("other.wad", {reinterpret_cast<const uint8_t*>(other.data()), other.size()}));
  const Path archive = scratch_ / "doom.zip";
  testing::WriteFileBytes(archive, zip.Finish());

  const std::vector<FoundIwad> rows = Identify(archive);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].entry, "iwads/DOOM2.WAD");
  EXPECT_EQ(rows[0].release, Release(u"doom2_v19"));
  EXPECT_EQ(rows[1].entry, "other.wad");
  EXPECT_EQ(rows[1].release, -1);
  for (const FoundIwad& row : rows) EXPECT_EQ(row.file, archive);
  EXPECT_EQ(FoundIwadLocation(rows[0]), PathToUtf8(archive) + "//iwads/DOOM2.WAD");
  EXPECT_TRUE(testing::FileNames(temp_).empty());
}

TEST_F(FoundIwadsTest, AnArchiveThatCantBeReadOrHoldsNoWadFileGivesNoRows) {
  ZipWriter readme_only;
  ASSERT_TRUE(readme_only.Add("readme.txt", std::span<const uint8_t>()));
  testing::WriteFileBytes(scratch_ / "readme.zip", readme_only.Finish());
  testing::WriteFileText(scratch_ / "broken.zip", std::string("PK\3\4") + "and then nothing");
  for (const char* name : {"readme.zip", "broken.zip"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(Identify(scratch_ / name).empty());
  }
  EXPECT_TRUE(testing::FileNames(temp_).empty());
}

TEST(RuleDisplayNameTest, NamesThePlacesAsUsersKnowThem) {
  const std::pair<const char*, const char*> names[] = {
      {"DOOMWADDIR", "DOOMWADDIR"},
      {"DOOMWADPATH", "DOOMWADPATH"},
      {"steam", "Steam"},
      {"gog", "GOG"},
      {"bethesda", "Bethesda.net"},
      {"flatpak", "Flatpak"},
      {"snap", "Snap"},
      {"user", "Your data folder"},
      {"system", "System data folder"},
      {"chosen", "Added folder"},
      {"something new", "something new"},
  };
  for (const auto& [rule, shown] : names) EXPECT_EQ(RuleDisplayName(rule), shown) << rule;
}

}  // namespace
}  // namespace tvl
