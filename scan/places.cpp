#include "scan/places.h"

#include <algorithm>
#include <cstdlib>
#include <span>
#include <string_view>
#include <system_error>

#include "platform/file_ops.h"
#include "scan/steam.h"
#include "scan/walk.h"

namespace tvl {
namespace {

Path PathFromUtf8(std::string_view text) {
  return Path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsAnyWord(const Path& name, std::span<const std::string_view> words) {
  std::string text = PathToUtf8(name);
  std::transform(text.begin(), text.end(), text.begin(), LowerAscii);
  for (std::string_view word : words) {
    if (text.find(word) != std::string::npos) return true;
  }
  return false;
}

// Names of launcher folders that hold games of the Doom family.
constexpr std::string_view kGameWords[] = {"doom", "heretic", "hexen",  "strife",
                                           "chex", "hacx",    "harmony"};
// Names of source ports' Flatpak and Snap packages.
constexpr std::string_view kPortWords[] = {"doom",      "prboom",  "woof",  "odamex", "eternity",
                                           "zandronum", "heretic", "hexen", "strife"};

bool IsFolder(const Path& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

// The folders directly inside `folder`, in name order; none when it cannot be listed.
std::vector<Path> Subfolders(const Path& folder) {
  std::vector<Path> found;
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error), end;
  for (; !error && it != end; it.increment(error)) {
    std::error_code type_error;
    if (it->is_directory(type_error)) found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

class Roots {
 public:
  // Adds `path` if it exists and is not there already.
  void Add(const Path& path, const char* rule) {
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) return;
    if (FirstVisit(&seen_, path)) roots_.push_back({path, rule});
  }
  // Adds the subfolders of `folder` whose names mark them as the family's games.
  void AddGameFolders(const Path& folder, const char* rule) {
    for (const Path& sub : Subfolders(folder)) {
      if (ContainsAnyWord(sub.filename(), kGameWords)) Add(sub, rule);
    }
  }
  std::vector<ScanRoot> Take() { return std::move(roots_); }

 private:
  std::vector<ScanRoot> roots_;
  Seen seen_;
};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    std::string part = text.substr(start, end == std::string::npos ? end : end - start);
    if (!part.empty()) parts.push_back(part);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

Path EnvPath(const PlaceLookup& lookup, const char* name) {
  std::optional<std::string> value = lookup.env(name);
  return value && !value->empty() ? PathFromUtf8(*value) : Path();
}

std::optional<Path> Registry(const PlaceLookup& lookup, RegistryRoot root, std::u16string_view key,
                             std::u16string_view name) {
  std::u16string value;
  if (!lookup.registry.read_string || !lookup.registry.read_string(root, key, name, &value) ||
      value.empty()) {
    return std::nullopt;
  }
  return Path(value);
}

void AddSteam(const PlaceLookup& lookup, const Path& home, Roots* roots) {
  std::vector<Path> installs;
  if (lookup.windows) {
    for (auto [root, key, name] : {
             std::tuple{RegistryRoot::kCurrentUser, u"Software\\Valve\\Steam", u"SteamPath"},
             std::tuple{RegistryRoot::kLocalMachine, u"SOFTWARE\\Valve\\Steam", u"InstallPath"},
         }) {
      if (auto path = Registry(lookup, root, key, name)) installs.push_back(*path);
    }
    for (const char* env : {"ProgramFiles(x86)", "ProgramFiles"}) {
      if (Path folder = EnvPath(lookup, env); !folder.empty()) installs.push_back(folder / "Steam");
    }
  } else if (!home.empty()) {
    Path data_home = EnvPath(lookup, "XDG_DATA_HOME");
    if (data_home.empty()) data_home = home / ".local" / "share";
    const Path flatpak = home / ".var" / "app" / "com.valvesoftware.Steam";
    installs = {home / ".steam" / "steam",
                home / ".steam" / "root",
                data_home / "Steam",
                home / ".local" / "share" / "Steam",
                flatpak / ".local" / "share" / "Steam",
                flatpak / "data" / "Steam",
                home / "snap" / "steam" / "common" / ".local" / "share" / "Steam"};
  }

  // Every installation lists its libraries, itself among them; a library may be listed by
  // several installations, or reached through several links.
  std::vector<Path> libraries;
  Seen seen;
  auto add_library = [&](const Path& library) {
    if (IsFolder(library) && FirstVisit(&seen, library)) libraries.push_back(library);
  };
  for (const Path& install : installs) {
    if (!IsFolder(install)) continue;
    add_library(install);
    for (const Path& vdf : {install / "steamapps" / "libraryfolders.vdf",
                            install / "config" / "libraryfolders.vdf"}) {
      std::vector<uint8_t> bytes;
      if (!ReadWholeFile(vdf, &bytes)) continue;
      std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      for (const Path& library : ParseSteamLibraryFolders(text)) add_library(library);
    }
  }
  for (const Path& library : libraries) {
    // The folders' case is matched loosely: a library on a case-sensitive disk may differ.
    for (const Path& game : Subfolders(library / "steamapps" / "common")) {
      std::string name = PathToUtf8(game.filename());
      for (const char* known : SteamGameFolders()) {
        std::string_view want(known);
        bool same = name.size() == want.size() &&
                    std::equal(name.begin(), name.end(), want.begin(),
                               [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
        if (same) roots->Add(game, "steam");
      }
    }
  }
}

void AddGog(const PlaceLookup& lookup, const Path& home, Roots* roots) {
  if (lookup.windows) {
    // GOG Galaxy and GOG's installers record each game under its numeric id.
    const std::u16string games = u"SOFTWARE\\GOG.com\\Games";
    if (lookup.registry.subkeys) {
      for (const std::u16string& id : lookup.registry.subkeys(RegistryRoot::kLocalMachine, games)) {
        const std::u16string key = games + u"\\" + id;
        std::optional<Path> path = Registry(lookup, RegistryRoot::kLocalMachine, key, u"path");
        if (!path) continue;
        std::optional<Path> name = Registry(lookup, RegistryRoot::kLocalMachine, key, u"gameName");
        if (ContainsAnyWord(name ? *name : path->filename(), kGameWords)) roots->Add(*path, "gog");
      }
    }
    if (Path drive = EnvPath(lookup, "SystemDrive"); !drive.empty()) {
      roots->AddGameFolders(drive / "GOG Games", "gog");
    }
    if (Path programs = EnvPath(lookup, "ProgramFiles(x86)"); !programs.empty()) {
      roots->AddGameFolders(programs / "GOG Galaxy" / "Games", "gog");
    }
  } else if (!home.empty()) {
    // GOG's Linux installers, Heroic and Lutris, and Galaxy in the default Wine prefix.
    roots->AddGameFolders(home / "GOG Games", "gog");
    roots->AddGameFolders(home / "Games" / "Heroic", "gog");
    roots->AddGameFolders(home / "Games", "gog");
    roots->AddGameFolders(home / ".wine" / "drive_c" / "GOG Games", "gog");
    roots->AddGameFolders(
        home / ".wine" / "drive_c" / "Program Files (x86)" / "GOG Galaxy" / "Games", "gog");
  }
}

void AddBethesda(const PlaceLookup& lookup, const Path& home, Roots* roots) {
  if (lookup.windows) {
    const std::u16string vendor = u"SOFTWARE\\Bethesda Softworks";
    if (auto launcher = Registry(lookup, RegistryRoot::kLocalMachine, vendor + u"\\Bethesda.net",
                                 u"installLocation")) {
      roots->AddGameFolders(*launcher / "games", "bethesda");
    }
    if (lookup.registry.subkeys) {
      for (const std::u16string& game :
           lookup.registry.subkeys(RegistryRoot::kLocalMachine, vendor)) {
        if (!ContainsAnyWord(Path(game), kGameWords)) continue;
        const std::u16string key = vendor + u"\\" + game;
        if (auto path = Registry(lookup, RegistryRoot::kLocalMachine, key, u"Installed Path")) {
          roots->Add(*path, "bethesda");
        }
      }
    }
    if (Path programs = EnvPath(lookup, "ProgramFiles(x86)"); !programs.empty()) {
      roots->AddGameFolders(programs / "Bethesda.net Launcher" / "games", "bethesda");
    }
  } else if (!home.empty()) {
    roots->AddGameFolders(
        home / ".wine" / "drive_c" / "Program Files (x86)" / "Bethesda.net Launcher" / "games",
        "bethesda");
  }
}

// Source ports packaged as Flatpaks or Snaps keep the user's files in the package's own folder.
void AddPortPackages(const Path& home, Roots* roots) {
  for (const Path& app : Subfolders(home / ".var" / "app")) {
    if (app.filename() == "com.valvesoftware.Steam") continue;  // searched as a Steam library
    if (ContainsAnyWord(app.filename(), kPortWords)) roots->Add(app, "flatpak");
  }
  for (const Path& snap : Subfolders(home / "snap")) {
    if (ContainsAnyWord(snap.filename(), kPortWords)) roots->Add(snap, "snap");
  }
}

}  // namespace

std::vector<ScanRoot> DefaultScanRoots(const PlaceLookup& lookup) {
  Roots roots;
  roots.Add(EnvPath(lookup, "DOOMWADDIR"), "DOOMWADDIR");
  if (std::optional<std::string> paths = lookup.env("DOOMWADPATH")) {
    for (const std::string& entry : Split(*paths, lookup.windows ? ';' : ':')) {
      roots.Add(PathFromUtf8(entry), "DOOMWADPATH");
    }
  }
  const Path home = EnvPath(lookup, lookup.windows ? "USERPROFILE" : "HOME");
  if (!lookup.windows) {
    Path data_home = EnvPath(lookup, "XDG_DATA_HOME");
    if (data_home.empty() && !home.empty()) data_home = home / ".local" / "share";
    if (!data_home.empty()) roots.Add(data_home / "games" / "doom", "user");
    std::vector<Path> data_dirs;
    if (std::optional<std::string> dirs = lookup.env("XDG_DATA_DIRS")) {
      for (const std::string& dir : Split(*dirs, ':')) data_dirs.push_back(PathFromUtf8(dir));
    }
    data_dirs.insert(data_dirs.end(), lookup.system_data_dirs.begin(),
                     lookup.system_data_dirs.end());
    for (const Path& dir : data_dirs) roots.Add(dir / "games" / "doom", "system");
  }
  AddSteam(lookup, home, &roots);
  AddGog(lookup, home, &roots);
  AddBethesda(lookup, home, &roots);
  if (!lookup.windows && !home.empty()) AddPortPackages(home, &roots);
  return roots.Take();
}

PlaceLookup HostPlaceLookup() {
  PlaceLookup lookup;
  lookup.env = [](const char* name) -> std::optional<std::string> {
#ifdef _WIN32
    std::wstring wide(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = _wgetenv(wide.c_str());
    if (value == nullptr) return std::nullopt;
    return PathToUtf8(Path(value));
#else
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
#endif
  };
  lookup.registry = SystemRegistry();
#ifdef _WIN32
  lookup.windows = true;
#else
  lookup.windows = false;
  lookup.system_data_dirs = {"/usr/local/share", "/usr/share"};
#endif
  return lookup;
}

}  // namespace tvl
