// The search the command line's scan and the Windows program's search share: what it hands on,
// what it counts, and where a stop ends it.
#include "scan/game_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/test_files.h"

namespace tvl {
namespace {

using testing::ScratchDir;

void WriteFileText(const Path& path, std::string_view text) {
  std::filesystem::create_directories(path.parent_path());
  testing::WriteFileText(path, text);
}

struct Found {
  std::vector<std::string> files;  // relative to the scratch folder, with the root's rule
  std::vector<std::string> missing;
  GameFileSearch search;
};

Found Search(const ScratchDir& dir, const std::vector<ScanRoot>& roots, size_t stop_after = 0) {
  Found found;
  GameFileEvents events;
  events.found = [&](const Path& file, const ScanRoot& root) {
    found.files.push_back(PathToUtf8(file.lexically_relative(dir.path()).generic_u8string()) + " " +
                          root.rule);
  };
  events.missing = [&](const ScanRoot& root, std::error_code) {
    found.missing.push_back(root.rule);
  };
  events.unreadable = [](const Path&, std::error_code) { ADD_FAILURE(); };
  events.go_on = [&](const GameFileSearch& search) {
    return stop_after == 0 || search.files_checked < stop_after;
  };
  found.search = FindGameFiles(roots, ListFolder, events);
  return found;
}

TEST(FindGameFilesTest, HandsOnGameFilesAndArchivesOnceAndCountsWhatItLookedAt) {
  ScratchDir dir;
  WriteFileText(dir / "a" / "DOOM2.WAD", "x");
  WriteFileText(dir / "a" / "readme.txt", "not a game");
  WriteFileText(dir / "a" / "headed.bin", "IWAD....");
  WriteFileText(dir / "a" / "sub" / "iwads.ZIP", "an archive by its name");
  WriteFileText(dir / "a" / "sub" / "tnt.ipk3", "x");
  WriteFileText(dir / "b" / "plutonia.iwad", "x");
  WriteFileText(dir / "loose.bin", "named outright");

  const Found found = Search(dir, {{dir / "a", "first"},
                                   {dir / "a" / "sub", "again"},  // walked already
                                   {dir / "missing", "gone"},
                                   {dir / "b", "second"},
                                   {dir / "loose.bin", "file"}});
  EXPECT_EQ(found.files, (std::vector<std::string>{"a/DOOM2.WAD first", "a/headed.bin first",
                                                   "a/sub/iwads.ZIP first", "a/sub/tnt.ipk3 first",
                                                   "b/plutonia.iwad second", "loose.bin file"}));
  EXPECT_EQ(found.missing, std::vector<std::string>{"gone"});
  EXPECT_EQ(found.search.files_checked, 7u);
  EXPECT_EQ(found.search.folders_searched, 3u);
  EXPECT_FALSE(found.search.stopped);
}

TEST(FindGameFilesTest, AStopEndsTheSearchWhereItWas) {
  ScratchDir dir;
  for (const char* name : {"1.wad", "2.wad", "3.wad", "4.wad"})
    WriteFileText(dir / "w" / name, "x");
  WriteFileText(dir / "later" / "5.wad", "x");

  const Found found = Search(dir, {{dir / "w", "w"}, {dir / "later", "later"}}, 2);
  EXPECT_EQ(found.files, (std::vector<std::string>{"w/1.wad w", "w/2.wad w"}));
  EXPECT_EQ(found.search.files_checked, 2u);
  EXPECT_TRUE(found.search.stopped);
}

}  // namespace
}  // namespace tvl
