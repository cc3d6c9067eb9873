// Where a scan without folders looks, with the environment, the registry and the home folder
// made up; and the reading of Steam's library list.
#include "scan/places.h"

#include <gtest/gtest.h>

#include <map>

#include "scan/steam.h"
#include "tests/test_files.h"

namespace tvl {
namespace {

std::string Text(const Path& path) { return PathToUtf8(path); }

// The fake registry's contents: "ROOT\key|name" to value, and key to subkeys.
std::map<std::u16string, std::u16string> registry_values;
std::map<std::u16string, std::vector<std::u16string>> registry_keys;

std::u16string RootName(RegistryRoot root) {
  return root == RegistryRoot::kCurrentUser ? u"HKCU\\" : u"HKLM\\";
}

bool FakeRead(RegistryRoot root, std::u16string_view key, std::u16string_view name,
              std::u16string* value) {
  auto it =
      registry_values.find(RootName(root) + std::u16string(key) + u"|" + std::u16string(name));
  if (it == registry_values.end()) return false;
  *value = it->second;
  return true;
}

std::vector<std::u16string> FakeSubkeys(RegistryRoot root, std::u16string_view key) {
  auto it = registry_keys.find(RootName(root) + std::u16string(key));
  return it == registry_keys.end() ? std::vector<std::u16string>{} : it->second;
}

std::u16string Wide(const Path& path) { return path.u16string(); }

class ScanPlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_values.clear();
    registry_keys.clear();
    lookup_.env = [this](const char* name) -> std::optional<std::string> {
      auto it = env_.find(name);
      if (it == env_.end()) return std::nullopt;
      return it->second;
    };
    lookup_.registry = {FakeRead, FakeSubkeys};
    lookup_.windows = false;
  }
  Path Folder(std::string_view name) {
    Path path = (dir_ / name).make_preferred();
    std::filesystem::create_directories(path);
    return path;
  }
  // The roots as "rule path-below-the-scratch-folder" lines.
  std::vector<std::string> Roots() {
    std::vector<std::string> lines;
    for (const ScanRoot& root : DefaultScanRoots(lookup_)) {
      std::string path = Text(root.path.lexically_relative(dir_.path()));
      for (char& c : path) c = c == '\\' ? '/' : c;
      lines.push_back(root.rule + " " + path);
    }
    return lines;
  }

  testing::ScratchDir dir_;
  std::map<std::string, std::string> env_;
  PlaceLookup lookup_;
};

// Windows paths hold the ':' that separates DOOMWADPATH's folders here; nor are these its places.
#ifndef _WIN32
TEST_F(ScanPlacesTest, PosixPlacesInOrderEachOnce) {
  Path home = Folder("home");
  env_["HOME"] = Text(home);
  Path waddir = Folder("home/.local/share/games/doom");  // also the user's data folder
  env_["DOOMWADDIR"] = Text(waddir);
  Folder("wads1");
  Folder("wads2");
  testing::WriteFileText(dir_ / "wads2" / "doom.wad", "x");
  env_["DOOMWADPATH"] = Text(dir_ / "wads1") + "::" + Text(dir_ / "missing") + ":" +
                        Text(dir_ / "wads2" / "doom.wad") + ":" + Text(waddir);
  Folder("xdg/games/doom");
  env_["XDG_DATA_DIRS"] = Text(dir_ / "xdg") + ":" + Text(dir_ / "nowhere");
  Folder("usr/share/games/doom");
  lookup_.system_data_dirs = {dir_ / "usr" / "local" / "share", dir_ / "usr" / "share"};
  Folder("home/GOG Games/DOOM II");
  Folder("home/GOG Games/Some Other Game");
  Folder("home/Games/Heroic/Heretic");
  Folder("home/.var/app/org.zdoom.GZDoom");
  Folder("home/.var/app/org.gnome.Calculator");
  Folder("home/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/Hexen");
  Folder("home/snap/chocolate-doom");
  Folder("home/snap/firefox");

  EXPECT_EQ(Roots(), (std::vector<std::string>{
                         "DOOMWADDIR home/.local/share/games/doom",
                         "DOOMWADPATH wads1",
                         "DOOMWADPATH wads2/doom.wad",
                         "system xdg/games/doom",
                         "system usr/share/games/doom",
                         "steam home/.var/app/com.valvesoftware.Steam/.local/share/Steam/"
                         "steamapps/common/Hexen",
                         "gog home/GOG Games/DOOM II",
                         "gog home/Games/Heroic/Heretic",
                         "flatpak home/.var/app/org.zdoom.GZDoom",
                         "snap home/snap/chocolate-doom",
                     }));
}
#endif

TEST_F(ScanPlacesTest, NoHomeNoEnvironmentNoPlaces) {
  EXPECT_EQ(Roots(), std::vector<std::string>{});
  lookup_.windows = true;
  EXPECT_EQ(Roots(), std::vector<std::string>{});
}

TEST_F(ScanPlacesTest, WindowsPlacesComeFromTheRegistry) {
  lookup_.windows = true;
  env_["USERPROFILE"] = Text(Folder("profile"));
  env_["DOOMWADPATH"] = Text(Folder("wads1")) + ";" + Text(Folder("wads2"));
  Path steam = Folder("Steam");
  Folder("Steam/steamapps/common/DOOM 3 BFG Edition");
  Folder("Steam/steamapps/common/ultimate doom");  // a library on a case-sensitive disk
  registry_values[u"HKCU\\Software\\Valve\\Steam|SteamPath"] = Wide(steam);

  registry_keys[u"HKLM\\SOFTWARE\\GOG.com\\Games"] = {u"1435848814", u"1207658924", u"17"};
  registry_values[u"HKLM\\SOFTWARE\\GOG.com\\Games\\1435848814|path"] = Wide(Folder("gog/d2"));
  registry_values[u"HKLM\\SOFTWARE\\GOG.com\\Games\\1435848814|gameName"] = u"DOOM II";
  registry_values[u"HKLM\\SOFTWARE\\GOG.com\\Games\\1207658924|path"] = Wide(Folder("gog/w"));
  registry_values[u"HKLM\\SOFTWARE\\GOG.com\\Games\\1207658924|gameName"] = u"The Witcher";
  // No name recorded: the folder's name decides.
  registry_values[u"HKLM\\SOFTWARE\\GOG.com\\Games\\17|path"] = Wide(Folder("gog/Hexen"));

  Path launcher = Folder("bnet");
  Folder("bnet/games/DOOM_II_Classic_2019");
  Folder("bnet/games/Quake");
  registry_values[u"HKLM\\SOFTWARE\\Bethesda Softworks\\Bethesda.net|installLocation"] =
      Wide(launcher);
  registry_keys[u"HKLM\\SOFTWARE\\Bethesda Softworks"] = {u"Bethesda.net", u"DOOM 64"};
  registry_values[u"HKLM\\SOFTWARE\\Bethesda Softworks\\DOOM 64|Installed Path"] =
      Wide(Folder("d64"));

  Folder("pf86/GOG Galaxy/Games/Strife");
  Folder("pf86/Steam/steamapps/common/Heretic Shadow of the Serpent Riders");
  env_["ProgramFiles(x86)"] = Text(dir_ / "pf86");
  // POSIX places mean nothing here.
  Folder("profile/.local/share/games/doom");
  Folder("profile/.var/app/org.zdoom.GZDoom");

  EXPECT_EQ(Roots(), (std::vector<std::string>{
                         "DOOMWADPATH wads1",
                         "DOOMWADPATH wads2",
                         "steam Steam/steamapps/common/DOOM 3 BFG Edition",
                         "steam Steam/steamapps/common/ultimate doom",
                         "steam pf86/Steam/steamapps/common/Heretic Shadow of the Serpent Riders",
                         "gog gog/d2",
                         "gog gog/Hexen",
                         "gog pf86/GOG Galaxy/Games/Strife",
                         "bethesda bnet/games/DOOM_II_Classic_2019",
                         "bethesda d64",
                     }));
}

TEST(SteamLibraryFoldersTest, ReadsCurrentAndOlderFiles) {
  const char* current =
      "\"libraryfolders\"\n"
      "{\n"
      "\t\"0\"\n\t{\n"
      "\t\t\"path\"\t\t\"C:\\\\Program Files (x86)\\\\Steam\"\n"
      "\t\t\"label\"\t\t\"\"\n"
      "\t\t\"contentid\"\t\t\"123456789\"\n"
      "\t\t\"apps\"\n\t\t{\n\t\t\t\"2280\"\t\t\"512\"\n\t\t\t\"2300\"\t\t\"1024\"\n\t\t}\n"
      "\t}\n"
      "\t\"1\"\n\t{\n"
      "\t\t\"PATH\"\t\t\"/mnt/games/\\\"Steam\\\" Library\"\n"  // escaped quotes, any case
      "\t}\n"
      "}\n";
  EXPECT_EQ(ParseSteamLibraryFolders(current),
            (std::vector<Path>{Path("C:\\Program Files (x86)\\Steam"),
                               Path("/mnt/games/\"Steam\" Library")}));

  const char* older =
      "\"LibraryFolders\"\n{\n"
      "\t\"TimeNextStatsReport\"\t\t\"1600000000\"\n"
      "\t\"ContentStatsID\"\t\t\"-42\"\n"
      "\t\"1\"\t\t\"D:\\\\SteamLibrary\"\n"
      "\t\"2\"\t\t\"E:\\\\Games\\\\Steam\"\n"
      "}\n";
  EXPECT_EQ(ParseSteamLibraryFolders(older),
            (std::vector<Path>{Path("D:\\SteamLibrary"), Path("E:\\Games\\Steam")}));

  // Steam writes UTF-8.
  EXPECT_EQ(ParseSteamLibraryFolders("\"x\" { \"0\" { \"path\" \"/home/z\xc3\xa9\" } }"),
            std::vector<Path>{Path(u8"/home/z\u00e9")});
}

TEST(SteamLibraryFoldersTest, ToleratesBrokenText) {
  EXPECT_EQ(ParseSteamLibraryFolders(""), std::vector<Path>{});
  EXPECT_EQ(ParseSteamLibraryFolders("}}}}{{"), std::vector<Path>{});
  EXPECT_EQ(ParseSteamLibraryFolders("// comment \"path\" \"/no\"\n\"path\" \"/yes\""),
            std::vector<Path>{Path("/yes")});
  EXPECT_EQ(ParseSteamLibraryFolders("\"path\" \"/cut"), std::vector<Path>{Path("/cut")});
  EXPECT_EQ(ParseSteamLibraryFolders("\"path\""), std::vector<Path>{});
  EXPECT_EQ(ParseSteamLibraryFolders("\"path\" \"\""), std::vector<Path>{});
  EXPECT_EQ(ParseSteamLibraryFolders("path /bare \"x\\"), std::vector<Path>{Path("/bare")});
  // Noise of every kind ends, whatever it finds.
  for (uint32_t seed = 0; seed < 200; ++seed) {
    std::vector<uint8_t> noise = testing::RandomBytes(512, seed);
    for (uint8_t& byte : noise) byte = "\"{}\\/ \npath0a"[byte % 14];
    ParseSteamLibraryFolders(
        std::string_view(reinterpret_cast<const char*>(noise.data()), noise.size()));
  }
}

}  // namespace
}  // namespace tvl
