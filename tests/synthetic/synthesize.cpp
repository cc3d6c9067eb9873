// Writes the synthetic releases: deterministic IWAD-like files with the structure and the kinds
// of differences real releases of one game show (changed, added and removed lumps, a reordered
// directory, a changed header), plus the catalogue overlay that names them.
//
// usage: synthesize OUTPUT_FOLDER OVERLAY_SOURCE
//   writes OUTPUT_FOLDER/<release id>.wad for every release that goes into the test store, and
//   OUTPUT_FOLDER/unstored/<release id>.wad for those whose patches the store lacks on purpose;
//   OVERLAY_SOURCE is a C++ file defining CatalogueDigestOverrides() with the files' digests.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/identify.h"
#include "platform/file.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A small deterministic generator (xorshift), so every build makes the same files.
struct Random {
  uint64_t state;
  explicit Random(uint64_t seed) : state(seed * 0x9e3779b97f4a7c15ULL + 1) {}
  uint32_t Next() {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    return static_cast<uint32_t>(state >> 16);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }
};

uint64_t Seed(const std::string& text) {
  uint64_t hash = 1469598103934665603ULL;
  for (char c : text) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ULL;
  return hash;
}

struct Lump {
  std::string name;  // at most 8 characters
  Bytes data;
};

void PutLe16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v)), out.push_back(static_cast<uint8_t>(v >> 8));
}

// Lump contents shaped like the real kinds: map records, 64x64 flats, column graphics, sounds,
// text. Each depends only on its name and kind, so releases share what they do not change.
Bytes MapRecords(Random& random, size_t count, size_t record_size) {
  Bytes out;
  for (size_t i = 0; i < count; ++i) {
    for (size_t j = 0; j < record_size; j += 2) PutLe16(out, random.Below(j < 4 ? 4096 : 64));
  }
  return out;
}

Bytes Flat(Random& random) {
  Bytes out(4096);
  uint8_t base = static_cast<uint8_t>(random.Next());
  for (size_t y = 0; y < 64; ++y) {
    for (size_t x = 0; x < 64; ++x) {
      out[y * 64 + x] =
          static_cast<uint8_t>(base + ((x ^ y) & 7) + (random.Below(16) == 0 ? 3 : 0));
    }
  }
  return out;
}

Bytes Graphic(Random& random) {
  uint32_t width = 16 + random.Below(240), height = 16 + random.Below(120);
  Bytes out;
  PutLe16(out, width), PutLe16(out, height), PutLe16(out, 0), PutLe16(out, 0);
  size_t offsets = out.size();
  out.resize(out.size() + 4 * width);
  uint8_t colour = static_cast<uint8_t>(random.Next());
  for (uint32_t x = 0; x < width; ++x) {
    uint32_t at = static_cast<uint32_t>(out.size());
    std::memcpy(&out[offsets + 4 * x], &at, 4);
    out.push_back(0), out.push_back(static_cast<uint8_t>(height)), out.push_back(0);
    for (uint32_t y = 0; y < height; ++y) {
      out.push_back(static_cast<uint8_t>(colour + (y / 8) + (random.Below(8) == 0)));
    }
    out.push_back(0), out.push_back(0xff);
  }
  return out;
}

Bytes Sound(Random& random) {
  uint32_t samples = 2000 + random.Below(30000);
  Bytes out = {3, 0, 0x11, 0x2b};
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(samples >> (8 * i)));
  int level = 128, step = 1 + static_cast<int>(random.Below(5));
  for (uint32_t i = 0; i < samples; ++i) {
    level += (random.Below(3) == 0 ? -step : step);
    if (level < 20 || level > 236) step = -step, level = std::min(236, std::max(20, level));
    out.push_back(static_cast<uint8_t>(level));
  }
  return out;
}

Bytes Text(Random& random) {
  static const char* kWords[] = {"the",   "demon",  "gate", "of",  "hell", "base", "marine",
                                 "level", "secret", "door", "key", "red",  "blue", "exit"};
  std::string text;
  size_t words = 50 + random.Below(400);
  for (size_t i = 0; i < words; ++i) {
    text += kWords[random.Below(14)];
    text += (random.Below(12) == 0) ? "\r\n" : " ";
  }
  return Bytes(text.begin(), text.end());
}

std::vector<Lump> BaseLumps(const std::string& game, int maps, int flats, int graphics,
                            int sounds) {
  std::vector<Lump> lumps;
  auto add = [&](const std::string& name, auto make) {
    Random random(Seed(game + "/" + name));
    lumps.push_back({name, make(random)});
  };
  add("PLAYPAL", [](Random& r) {
    Bytes b(10752);
    for (auto& x : b) x = static_cast<uint8_t>(r.Next());
    return b;
  });
  add("COLORMAP", [](Random& r) {
    Bytes b(8704);
    for (size_t i = 0; i < b.size(); ++i)
      b[i] = static_cast<uint8_t>(i % 256 - (i / 256) + r.Below(2));
    return b;
  });
  add("ENDOOM", Text);
  for (int m = 1; m <= maps; ++m) {
    char name[9];
    std::snprintf(name, sizeof name, "MAP%02d", m);
    lumps.push_back({name, {}});
    struct {
      const char* name;
      size_t count, size;
    } parts[] = {{"THINGS", 300, 10},   {"LINEDEFS", 1500, 14}, {"SIDEDEFS", 2200, 30},
                 {"VERTEXES", 1400, 4}, {"SEGS", 2600, 12},     {"SSECTORS", 800, 4},
                 {"NODES", 800, 28},    {"SECTORS", 250, 26},   {"REJECT", 900, 8},
                 {"BLOCKMAP", 2000, 6}};
    for (const auto& part : parts) {
      Random random(Seed(game + "/" + name + "/" + part.name));
      lumps.push_back({part.name, MapRecords(random, part.count, part.size)});
    }
  }
  for (int i = 0; i < sounds; ++i) add("DSSND" + std::to_string(i), Sound);
  for (int i = 0; i < graphics; ++i) add("GFX" + std::to_string(i), Graphic);
  lumps.push_back({"F_START", {}});
  for (int i = 0; i < flats; ++i) add("FLAT" + std::to_string(i), Flat);
  lumps.push_back({"F_END", {}});
  return lumps;
}

// Version-like differences, each driven by the release's own seed.
void ChangeSomeLumps(std::vector<Lump>& lumps, const std::string& release, int one_in) {
  Random random(Seed(release + "/changes"));
  for (Lump& lump : lumps) {
    if (lump.data.empty() || random.Below(one_in) != 0) continue;
    size_t edits = 1 + random.Below(6);
    for (size_t e = 0; e < edits; ++e) {
      size_t at = random.Below(static_cast<uint32_t>(lump.data.size()));
      size_t run = std::min<size_t>(lump.data.size() - at, 1 + random.Below(64));
      for (size_t i = 0; i < run; ++i)
        lump.data[at + i] ^= static_cast<uint8_t>(1 + random.Below(255));
    }
  }
}

void RemoveSomeLumps(std::vector<Lump>& lumps, const std::string& release, int one_in) {
  Random random(Seed(release + "/removals"));
  std::vector<Lump> kept;
  for (Lump& lump : lumps) {
    if (lump.name.rfind("GFX", 0) == 0 && random.Below(one_in) == 0) continue;
    kept.push_back(std::move(lump));
  }
  lumps = std::move(kept);
}

void AddLumps(std::vector<Lump>& lumps, const std::string& release, int count) {
  for (int i = 0; i < count; ++i) {
    std::string name = "NEW" + std::to_string(i);
    Random random(Seed(release + "/" + name));
    lumps.push_back({name, i % 2 ? Graphic(random) : Sound(random)});
  }
}

// Moves the sound lumps to the end of the directory, as some ports reorder their WADs.
void ReorderLumps(std::vector<Lump>& lumps) {
  std::vector<Lump> sounds, rest;
  for (Lump& lump : lumps)
    (lump.name.rfind("DS", 0) == 0 ? sounds : rest).push_back(std::move(lump));
  for (Lump& lump : sounds) rest.push_back(std::move(lump));
  lumps = std::move(rest);
}

Bytes BuildWad(const char magic[4], const std::vector<Lump>& lumps) {
  Bytes out(12);
  std::memcpy(out.data(), magic, 4);
  Bytes directory;
  for (const Lump& lump : lumps) {
    uint32_t position = static_cast<uint32_t>(out.size()),
             size = static_cast<uint32_t>(lump.data.size());
    out.insert(out.end(), lump.data.begin(), lump.data.end());
    for (int i = 0; i < 4; ++i) directory.push_back(static_cast<uint8_t>(position >> (8 * i)));
    for (int i = 0; i < 4; ++i) directory.push_back(static_cast<uint8_t>(size >> (8 * i)));
    char name[8] = {};
    std::memcpy(name, lump.name.data(), std::min<size_t>(8, lump.name.size()));
    directory.insert(directory.end(), name, name + 8);
  }
  uint32_t count = static_cast<uint32_t>(lumps.size()), table = static_cast<uint32_t>(out.size());
  std::memcpy(&out[4], &count, 4);
  std::memcpy(&out[8], &table, 4);
  out.insert(out.end(), directory.begin(), directory.end());
  return out;
}

struct Release {
  std::string game, version;
  Bytes bytes;
  bool stored = true;  // false: the test store leaves its patches out
};

std::vector<Release> MakeReleases() {
  std::vector<Release> releases;
  // Doom 2: the base is over 8 MiB, so its patches span two windows.
  std::vector<Lump> doom2 = BaseLumps("doom2", 24, 120, 260, 90);
  releases.push_back({"doom2", "v19", BuildWad("IWAD", doom2)});
  {
    std::vector<Lump> lumps = doom2;
    ChangeSomeLumps(lumps, "doom2_v1666", 12);
    RemoveSomeLumps(lumps, "doom2_v1666", 30);
    releases.push_back({"doom2", "v1666", BuildWad("IWAD", lumps)});
  }
  {
    std::vector<Lump> lumps = doom2;
    AddLumps(lumps, "doom2_xbox", 12);
    ReorderLumps(lumps);
    ChangeSomeLumps(lumps, "doom2_xbox", 40);
    releases.push_back({"doom2", "xbox", BuildWad("IWAD", lumps)});
  }
  {
    std::vector<Lump> lumps = doom2;
    ChangeSomeLumps(lumps, "doom2_zodiac", 6);
    ReorderLumps(lumps);
    Bytes bytes = BuildWad("IWAD", lumps);
    bytes[0] = 'P';  // a release that calls itself a PWAD: a changed header
    releases.push_back({"doom2", "zodiac", bytes});
  }
  std::vector<Lump> tnt = BaseLumps("tnt", 6, 30, 40, 20);
  releases.push_back({"tnt", "v19", BuildWad("IWAD", tnt)});
  for (const char* version : {"psnusa", "psneur"}) {
    std::vector<Lump> lumps = tnt;
    ChangeSomeLumps(lumps, std::string("tnt_") + version, 10);
    AddLumps(lumps, std::string("tnt_") + version, 3);
    releases.push_back({"tnt", version, BuildWad("IWAD", lumps), std::string(version) == "psnusa"});
  }
  releases.push_back({"freedoom1", "v0.9", BuildWad("IWAD", BaseLumps("freedoom1", 2, 10, 10, 5))});
  return releases;
}

bool WriteAll(const tvl::Path& path, const void* data, size_t size) {
  tvl::File file = tvl::File::CreateForWrite(path);
  return file.is_open() && file.Write(data, size) == size && file.Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: synthesize OUTPUT_FOLDER OVERLAY_SOURCE\n");
    return 2;
  }
  tvl::Path folder = argv[1];
  std::error_code ignored;
  std::filesystem::create_directories(folder / "unstored", ignored);
  std::string overlay =
      "// Generated by synthesize: the digests of the synthetic releases.\n"
      "#include \"catalogue/catalogue.h\"\n\n"
      "namespace tvl {\n\n"
      "std::span<const DigestOverride> CatalogueDigestOverrides() {\n"
      "  static constexpr DigestOverride kOverrides[] = {\n";
  for (const Release& release : MakeReleases()) {
    std::string id = release.game + "_" + release.version;
    tvl::Path file = (release.stored ? folder : folder / "unstored") / (id + ".wad");
    if (!WriteAll(file, release.bytes.data(), release.bytes.size())) {
      std::fprintf(stderr, "synthesize: cannot write %s.wad\n", id.c_str());
      return 1;
    }
    tvl::Sha1Context context;
    tvl::Sha1Init(&context);
    tvl::Sha1Update(&context, release.bytes.data(), release.bytes.size());
    uint8_t digest[tvl::kSha1DigestSize];
    tvl::Sha1Final(&context, digest);
    overlay += "      {u\"" + release.game + "\", u\"" + release.version + "\", \"" +
               tvl::FormatDigest(digest) + "\"},  // " + std::to_string(release.bytes.size()) +
               " bytes\n";
  }
  overlay += "  };\n  return kOverrides;\n}\n\n}  // namespace tvl\n";
  if (!WriteAll(argv[2], overlay.data(), overlay.size())) {
    std::fprintf(stderr, "synthesize: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
