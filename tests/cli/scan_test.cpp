// scan on made-up trees: synthetic releases, add-ons, files that are no game's, folders that
// cannot be read, links that loop, and a Steam installation with a second library.
#include "cli/scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "catalogue/catalogue.h"
#include "tests/cli/cli_files.h"
#include "tests/cli/cli_run.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"

namespace tvl::cli {
namespace {

// RunScan as the command runs it, after the catalogue is set up.
CliRun Capture(const ScanRequest& request) {
  InitIwadCatalogue();
  return Captured([&] { return RunScan(request); });
}

// Links may need privileges the test does not have (Windows) or a system that has them.
bool MakeFolderLink(const Path& target, const Path& link) {
  std::error_code error;
  std::filesystem::create_directory_symlink(target, link, error);
  return !error;
}

class ScanTest : public ::testing::Test {
 protected:
  Path Folder(std::string_view name) {
    Path path = (dir_ / name).make_preferred();
    std::filesystem::create_directories(path);
    return path;
  }
  Path Release(std::u16string_view id, const Path& folder, std::string_view name) {
    return testing::WriteSyntheticRelease(folder, id, name);
  }
  // What identify prints for the file, which scan repeats before its own column.
  std::string IdentifyLine(const Path& file, bool explain = false) {
    Args args = {"identify", Text(file)};
    if (explain) args.push_back("--explain");
    std::vector<std::string> lines = Lines(RunCommand(args).out);
    return lines.size() == 1
               ? lines[0]
               : std::string("(identify printed ") + std::to_string(lines.size()) + ")";
  }

  testing::ScratchDir dir_;
};

TEST_F(ScanTest, IdentifiesEveryGameFileOfATreeAndNothingElse) {
  Path games = Folder("games");
  Path doom2 = Release(u"doom2_v19", Folder("games/doom2"), "DOOM2.WAD");
  Path tnt = Release(u"tnt_v19", games, "tnt.wad");
  Path freedoom = Release(u"freedoom1_v0.9", Folder("games/Freedoom"), "FREEDOOM1.IWAD");
  Path addon = games / "mods" / "addon.bin";  // found by its header alone
  Folder("games/mods");
  testing::WriteFileBytes(addon, AddOn());
  Path broken = games / "mods" / "broken.Wad";  // found by its name alone
  testing::WriteFileText(broken, "not a wad at all");
  Path empty = games / "mods" / "empty.ipk3";
  testing::WriteFileBytes(empty, {});
  testing::WriteFileText(games / "mods" / "readme.txt", "PWA");
  testing::WriteFileBytes(games / "mods" / "picture.png", testing::RandomBytes(4000, 3));
  // One folder deeper than any scan goes.
  Path deep = games;
  for (int i = 0; i <= kMaxScanDepth; ++i) deep /= std::string(1, 'd').append(std::to_string(i));
  std::filesystem::create_directories(deep);
  testing::WriteFileBytes(deep / "too-deep.wad", AddOn());
  testing::WriteFileBytes(deep.parent_path() / "deep-enough.wad", AddOn());

  CliRun run = RunCommand({"scan", "--explain", Text(games)});
  EXPECT_EQ(run.code, 1) << "unknown files were found";
  EXPECT_EQ(run.err, "");
  // Each folder's entries in name order, as bytes compare: upper case first.
  std::vector<std::string> expected;
  for (const Path& file :
       {freedoom, deep.parent_path() / "deep-enough.wad", doom2, addon, broken, empty, tnt}) {
    std::string line = IdentifyLine(file, true);
    line.insert(line.rfind('\t'), "\targument");  // scan's rule goes before the explanation
    expected.push_back(line);
  }
  std::vector<std::string> lines = Lines(run.out);
  EXPECT_EQ(lines, expected);
  EXPECT_NE(run.out.find("\tdoom2_v19\tDoom 2 retail v1.9\t" + Text(doom2) +
                         "\targument\tknown release\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(Text(addon) + "\targument\tPWAD (add-on) with 2 lumps, maps MAP07\n"),
            std::string::npos);
  EXPECT_NE(run.out.find(Text(broken) + "\targument\tnot a WAD file\n"), std::string::npos);
  EXPECT_NE(run.out.find(Text(empty) + "\targument\tempty file\n"), std::string::npos);

  // Without --explain the lines are identify's, plus the rule.
  CliRun plain = RunCommand({"scan", Text(games / "doom2")});
  EXPECT_EQ(plain.code, 0);
  EXPECT_EQ(plain.out, IdentifyLine(doom2) + "\targument\n");
}

TEST_F(ScanTest, ReportsUnreadableFoldersAndGoesOn) {
  Path games = Folder("games");
  Folder("games/locked");
  testing::WriteFileBytes(games / "locked" / "hidden.wad", AddOn());
  Path doom2 = Release(u"doom2_v19", games, "doom2.wad");

  ScanRequest request;
  request.roots = {{games, "argument"}};
  request.named_roots = true;
  request.list = [](const Path& folder, std::vector<FolderEntry>* entries, std::error_code* error) {
    if (folder.filename() == "locked") {
      *error = std::make_error_code(std::errc::permission_denied);
      return false;
    }
    return ListFolder(folder, entries, error);
  };
  CliRun run = Capture(request);
  EXPECT_EQ(run.code, 1) << "a folder went unread";
  EXPECT_EQ(run.out, IdentifyLine(doom2) + "\targument\n");
  ASSERT_EQ(Lines(run.err).size(), 1u) << run.err;
  EXPECT_NE(run.err.find("cannot read folder " + Text(games / "locked") + ": "), std::string::npos)
      << run.err;
}

#ifndef _WIN32
TEST_F(ScanTest, ReportsAFolderTheSystemWillNotList) {
  Path games = Folder("games");
  Path locked = Folder("games/locked");
  testing::WriteFileBytes(locked / "hidden.wad", AddOn());
  Release(u"doom2_v19", games, "doom2.wad");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  std::error_code probe;
  std::filesystem::directory_iterator still_readable(locked, probe);
  if (!probe) {
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    GTEST_SKIP() << "this user reads any folder (root); the seam test above covers it";
  }
  CliRun run = RunCommand({"scan", Text(games)});
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(Lines(run.out).size(), 1u);
  EXPECT_NE(run.err.find("cannot read folder " + Text(locked)), std::string::npos) << run.err;
}
#endif

TEST_F(ScanTest, FollowsLinksButEntersNoFolderTwice) {
  Path games = Folder("games");
  Path doom2 = Release(u"doom2_v19", Folder("games/a"), "doom2.wad");
  if (!MakeFolderLink(games, games / "a" / "loop") || !MakeFolderLink(games / "a", dir_ / "b")) {
    GTEST_SKIP() << "no folder links here";
  }
  // A link to a file found as well as the file: one line.
  std::error_code error;
  std::filesystem::create_symlink(doom2, games / "same.wad", error);

  CliRun run = RunCommand({"scan", Text(games), Text(dir_ / "b"), Text(games)});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, IdentifyLine(doom2) + "\targument\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(ScanTest, NamedFilesAndMissingFolders) {
  Path file = dir_ / "odd.dat";  // named outright: identified whatever it looks like
  testing::WriteFileText(file, "abc");
  Path missing = dir_ / "missing";
  CliRun run = RunCommand({"scan", "--explain", Text(missing), Text(file)});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "-1\ta9993e364706816aba3e25717850c26c9cd0d89d\t-\tunknown\t" + Text(file) +
                         "\targument\tnot a WAD file\n");
  EXPECT_NE(run.err.find("cannot read " + Text(missing) + ": "), std::string::npos) << run.err;

  Folder("nothing");
  testing::WriteFileText(dir_ / "nothing" / "notes.txt", "none here");
  CliRun nothing = RunCommand({"scan", Text(dir_ / "nothing")});
  EXPECT_EQ(nothing.code, 1);
  EXPECT_EQ(nothing.out, "");
  EXPECT_NE(nothing.err.find("no game files found"), std::string::npos);

  EXPECT_EQ(RunCommand({"scan", "--bogus"}).code, 2);
  CliRun help = RunCommand({"scan", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("usage: tarvelline-cli scan"), std::string::npos);
}

// The whole way from a Steam installation to the files: its own library and one more that
// libraryfolders.vdf lists, each with a Doom-family game installed.
TEST_F(ScanTest, FindsGamesInSteamLibraries) {
  Path home = Folder("home");
  Path steam = Folder("home/.local/share/Steam");
  Path library = Folder("SteamLibrary");
  Path tnt = Release(u"tnt_v19", Folder("home/.local/share/Steam/steamapps/common/Final Doom/base"),
                     "TNT.WAD");
  Path doom2 =
      Release(u"doom2_v1666", Folder("SteamLibrary/steamapps/common/Doom 2/base"), "DOOM2.WAD");
  Release(u"doom2_v19", Folder("SteamLibrary/steamapps/common/Some Other Game"), "doom2.wad");
  auto escaped = [](const Path& path) {
    std::string text;
    for (char c : Text(path)) text += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return text;
  };
  testing::WriteFileText(steam / "steamapps" / "libraryfolders.vdf",
                         "\"libraryfolders\"\n{\n"
                         "\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" +
                             escaped(steam) +
                             "\"\n"
                             "\t\t\"apps\"\n\t\t{\n\t\t\t\"2280\"\t\t\"1\"\n\t\t}\n\t}\n"
                             "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" +
                             escaped(library) + "\"\n\t}\n}\n");

  PlaceLookup lookup;
  std::map<std::string, std::string> env = {{"HOME", Text(home)}};
  lookup.env = [&env](const char* name) -> std::optional<std::string> {
    auto it = env.find(name);
    if (it == env.end()) return std::nullopt;
    return it->second;
  };
  lookup.registry = {nullptr, nullptr};
  lookup.windows = false;

  ScanRequest request;
  request.roots = DefaultScanRoots(lookup);
  CliRun run = Capture(request);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, IdentifyLine(tnt) + "\tsteam\n" + IdentifyLine(doom2) + "\tsteam\n");
}

}  // namespace
}  // namespace tvl::cli
