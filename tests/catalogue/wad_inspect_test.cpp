#include "catalogue/wad_inspect.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tests/test_files.h"

namespace tvl {
namespace {

using Bytes = std::vector<uint8_t>;

struct Lump {
  std::string name;
  Bytes data;
};

void PutInt32(Bytes& out, size_t at, int32_t value) {
  for (int i = 0; i < 4; ++i)
    out[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

// A WAD as the tools write it: header, lump data, directory at the end.
Bytes BuildWad(const char* id, const std::vector<Lump>& lumps) {
  Bytes out(12);
  std::memcpy(out.data(), id, 4);
  std::vector<std::pair<size_t, size_t>> places;
  for (const Lump& lump : lumps) {
    places.emplace_back(out.size(), lump.data.size());
    out.insert(out.end(), lump.data.begin(), lump.data.end());
  }
  PutInt32(out, 4, static_cast<int32_t>(lumps.size()));
  PutInt32(out, 8, static_cast<int32_t>(out.size()));
  for (size_t i = 0; i < lumps.size(); ++i) {
    size_t at = out.size();
    out.resize(at + 16);
    PutInt32(out, at, static_cast<int32_t>(places[i].first));
    PutInt32(out, at + 4, static_cast<int32_t>(places[i].second));
    std::memcpy(&out[at + 8], lumps[i].name.data(), std::min<size_t>(8, lumps[i].name.size()));
  }
  return out;
}

// A map as it sits in a directory: the marker, then its data lumps.
void AddMap(std::vector<Lump>& lumps, const std::string& name) {
  lumps.push_back({name, {}});
  lumps.push_back({"THINGS", Bytes(10, 1)});
  lumps.push_back({"LINEDEFS", Bytes(14, 2)});
}

// Memory that checks every read the inspector makes: a read starts inside the data (or at its
// end) and asks for no more than one directory piece.
struct Memory {
  const Bytes* bytes;
  size_t reads = 0;
  uint64_t asked = 0;
};

int64_t ReadMemory(void* context, uint64_t offset, void* buffer, size_t size, FileError*) {
  Memory& memory = *static_cast<Memory*>(context);
  ++memory.reads;
  memory.asked += size;
  EXPECT_LE(offset, memory.bytes->size());
  EXPECT_LE(size, size_t{16 * 1024});
  if (offset >= memory.bytes->size()) return 0;
  size_t n = std::min<size_t>(size, memory.bytes->size() - static_cast<size_t>(offset));
  std::memcpy(buffer, memory.bytes->data() + offset, n);
  return static_cast<int64_t>(n);
}

WadInspection Inspect(const Bytes& bytes, Memory* memory = nullptr) {
  Memory local{&bytes};
  Memory& used = memory ? *memory : local;
  used.bytes = &bytes;
  return InspectWad({&used, ReadMemory, bytes.size()});
}

std::string Explain(const Bytes& bytes) { return ExplainWad(Inspect(bytes)); }

TEST(WadInspectTest, TellsFilesThatAreNoWadApart) {
  EXPECT_EQ(Explain({}), "empty file");
  EXPECT_EQ(Explain({'I', 'W', 'A'}), "not a WAD file");
  EXPECT_EQ(Explain(Bytes{'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0xff, 0xff}),
            "not a WAD file");
  EXPECT_EQ(Explain({'i', 'w', 'a', 'd', 0, 0, 0, 0, 12, 0, 0, 0}), "not a WAD file")
      << "the id is case-sensitive";
  EXPECT_EQ(Explain({'P', 'W', 'A', 'D', 0, 0}), "truncated WAD: header cut short");
  WadInspection known;
  known.kind = WadKind::kKnownRelease;
  EXPECT_EQ(ExplainWad(known), "known release");
}

TEST(WadInspectTest, HoldsTheHeaderAgainstTheFileSize) {
  Bytes wad = BuildWad("IWAD", {{"PLAYPAL", Bytes(30, 7)}, {"COLORMAP", Bytes(20, 3)}});
  EXPECT_EQ(Inspect(wad).kind, WadKind::kIwad);

  Bytes cut(wad.begin(), wad.end() - 1);  // the last directory entry loses its last byte
  EXPECT_EQ(Explain(cut), "truncated WAD: directory past end of file");

  Bytes far = wad;
  PutInt32(far, 8, INT32_MAX);
  EXPECT_EQ(Inspect(far).kind, WadKind::kDirectoryPastEnd);
  Bytes many = wad;
  PutInt32(many, 4, INT32_MAX);
  Memory memory{};
  EXPECT_EQ(Inspect(many, &memory).kind, WadKind::kDirectoryPastEnd);
  EXPECT_EQ(memory.reads, 1u) << "a count the file cannot hold is refused before any reading";

  for (size_t field : {4, 8}) {
    Bytes negative = wad;
    PutInt32(negative, field, -1);
    EXPECT_EQ(Explain(negative), "damaged WAD: negative lump count or directory offset");
    PutInt32(negative, field, INT32_MIN);
    EXPECT_EQ(Inspect(negative).kind, WadKind::kBadHeader);
  }

  Bytes empty_directory(12);
  std::memcpy(empty_directory.data(), "PWAD", 4);
  PutInt32(empty_directory, 8, 12);
  EXPECT_EQ(Explain(empty_directory), "PWAD (add-on) with 0 lumps, no maps");
  PutInt32(empty_directory, 8, 13);
  EXPECT_EQ(Inspect(empty_directory).kind, WadKind::kDirectoryPastEnd);
}

TEST(WadInspectTest, CountsLumpsThatReachPastTheEnd) {
  // The directory right after the header, as some tools write it: a cut file keeps it whole.
  Bytes wad(12 + 3 * 16 + 100);
  std::memcpy(wad.data(), "IWAD", 4);
  PutInt32(wad, 4, 3);
  PutInt32(wad, 8, 12);
  const int32_t entries[3][2] = {{60, 100}, {100, 61}, {-5, 1}};
  for (int i = 0; i < 3; ++i) {
    PutInt32(wad, 12 + 16 * i, entries[i][0]);
    PutInt32(wad, 16 + 16 * i, entries[i][1]);
    std::memcpy(&wad[20 + 16 * i], "DATA", 4);
  }
  EXPECT_EQ(Explain(wad), "truncated WAD: 2 lumps of 3 past end of file");
  // Markers have no bytes, wherever they claim to be.
  PutInt32(wad, 16 + 16, 0);
  PutInt32(wad, 12 + 32, INT32_MAX);
  PutInt32(wad, 16 + 32, 0);
  EXPECT_EQ(Inspect(wad).kind, WadKind::kIwad);
}

TEST(WadInspectTest, ListsTheMapsOfAnAddOn) {
  std::vector<Lump> lumps;
  for (const char* map : {"E1M1", "E1M2", "E1M3", "E1M9", "E2M1", "MAP01", "MAP02", "MAP32"}) {
    AddMap(lumps, map);
  }
  lumps.push_back({"MAP05", Bytes(40, 9)});  // a lump named like a map, with no map after it
  lumps.push_back({"D_RUNNIN", Bytes(40, 9)});
  lumps.push_back({"e3m1", {}});  // names are compared as the engine does, in upper case
  lumps.push_back({"things", Bytes(10, 1)});
  lumps.push_back({"E1M10", {}});
  lumps.push_back({"THINGS", Bytes(10, 1)});
  Bytes wad = BuildWad("PWAD", lumps);
  WadInspection inspection = Inspect(wad);
  EXPECT_EQ(inspection.kind, WadKind::kPwad);
  EXPECT_EQ(inspection.map_count(), 9);
  EXPECT_EQ(ExplainWad(inspection),
            "PWAD (add-on) with 30 lumps, maps E1M1-E1M3, E1M9, E2M1, E3M1, MAP01-MAP02, MAP32");

  std::vector<Lump> scattered;
  for (int i = 1; i <= 40; i += 2)
    AddMap(scattered, "MAP" + std::string(i < 10 ? "0" : "") + std::to_string(i));
  EXPECT_EQ(Explain(BuildWad("PWAD", scattered)),
            "PWAD (add-on) with 60 lumps, maps MAP01, MAP03, MAP05, MAP07, MAP09, MAP11, MAP13, "
            "MAP15 and 12 more");

  std::vector<Lump> one = {{"DEHACKED", Bytes(5, 'x')}};
  EXPECT_EQ(Explain(BuildWad("PWAD", one)), "PWAD (add-on) with 1 lump, no maps");
}

TEST(WadInspectTest, NamesTheFamilyOfAnUnknownIwad) {
  struct Case {
    std::vector<const char*> maps, lumps;
    WadFamily family;
  } cases[] = {
      {{"MAP01", "MAP02"}, {"PLAYPAL"}, WadFamily::kDoom2},
      {{"E1M1", "E2M1"}, {"PLAYPAL"}, WadFamily::kDoom},
      {{"E1M1"}, {"MUS_E1M1", "TITLE"}, WadFamily::kHeretic},
      {{"MAP01"}, {"BEHAVIOR", "MAPINFO"}, WadFamily::kHexen},
      {{"MAP01"}, {"ENDSTRF"}, WadFamily::kStrife},
      {{"E1M1"}, {"W94_1"}, WadFamily::kChexQuest},
      {{"E1M1"}, {"CYCLA1"}, WadFamily::kChexQuest},
      {{"MAP01"}, {"HACX-R"}, WadFamily::kHacx},
      {{"E1M1"}, {"FREEDOOM"}, WadFamily::kFreedoom1},
      {{"MAP01"}, {"FREEDOOM"}, WadFamily::kFreedoom2},
      {{"MAP01"}, {"FREEDOOM", "FREEDM"}, WadFamily::kFreeDm},
      {{}, {"VOC0"}, WadFamily::kUnknown},
  };
  for (const Case& c : cases) {
    std::vector<Lump> lumps;
    for (const char* lump : c.lumps) lumps.push_back({lump, Bytes(8, 1)});
    for (const char* map : c.maps) AddMap(lumps, map);
    EXPECT_EQ(Inspect(BuildWad("IWAD", lumps)).family, c.family) << WadFamilyName(c.family);
  }

  std::vector<Lump> doom2;
  for (int i = 1; i <= 32; ++i)
    AddMap(doom2, "MAP" + std::string(i < 10 ? "0" : "") + std::to_string(i));
  EXPECT_EQ(Explain(BuildWad("IWAD", doom2)),
            "IWAD of the Doom II family (96 lumps, 32 maps), release not in the catalogue: a "
            "modified or newer build");
  EXPECT_EQ(Explain(BuildWad("IWAD", {{"VOC0", Bytes(8, 1)}})),
            "IWAD of no known family (1 lump, 0 maps), release not in the catalogue: a modified "
            "or newer build");
}

// Headers and directories made hostile every way we can think of, and at random: the inspector
// must stay inside the data, read at most the header and the directory, and always answer.
TEST(WadInspectTest, SurvivesFuzzedHeadersAndDirectories) {
  std::vector<Lump> lumps;
  AddMap(lumps, "MAP01");
  AddMap(lumps, "E1M1");
  lumps.push_back({"FREEDOOM", Bytes(3, 1)});
  const Bytes valid = BuildWad("IWAD", lumps);
  const int32_t size = static_cast<int32_t>(valid.size());
  const int32_t edges[] = {0,         1,        -1,         11,        12,        13,
                           15,        16,       17,         INT32_MAX, INT32_MIN, size,
                           size - 16, size + 1, 0x40000000, 0x10000000};
  for (int32_t count : edges) {
    for (int32_t offset : edges) {
      Bytes wad = valid;
      PutInt32(wad, 4, count);
      PutInt32(wad, 8, offset);
      Memory memory{};
      WadInspection inspection = Inspect(wad, &memory);
      EXPECT_LE(memory.asked, 12 + wad.size()) << count << " " << offset;
      if (inspection.kind == WadKind::kIwad || inspection.kind == WadKind::kLumpsPastEnd) {
        EXPECT_LE(uint64_t{12} + uint64_t(inspection.lump_count) * 16, wad.size() + 12);
      }
      EXPECT_FALSE(ExplainWad(inspection).empty());
    }
  }

  Bytes random_data = testing::RandomBytes(1 << 16, 7);
  for (uint32_t seed = 0; seed < 3000; ++seed) {
    Bytes wad = valid;
    // Flip a few bytes anywhere, mostly in the header and the directory.
    Bytes noise = testing::RandomBytes(16, seed);
    for (int i = 0; i < 4; ++i) {
      size_t at = noise[i] % 2 ? noise[4 + i] % 12 : wad.size() - 1 - noise[8 + i] % 64;
      wad[at] = noise[12 + i];
    }
    if (seed % 5 == 0) wad.resize(noise[0] % wad.size());
    if (seed % 7 == 0) {
      // A random tail with a directory pointing into it.
      wad.insert(wad.end(), random_data.begin(), random_data.begin() + noise[1] * 64);
      PutInt32(wad, 4, noise[2] * 16);
      PutInt32(wad, 8, static_cast<int32_t>(valid.size()));
    }
    Memory memory{};
    WadInspection inspection = Inspect(wad, &memory);
    EXPECT_LE(memory.asked, 12 + wad.size()) << seed;
    EXPECT_LE(inspection.map_count(), kEpisodeMapSlots + kNumberedMapSlots);
    EXPECT_FALSE(ExplainWad(inspection).empty());
  }
}

TEST(WadInspectTest, AFileThatShrinksWhileReadIsTruncated) {
  Bytes wad = BuildWad("PWAD", {{"A", Bytes(4, 1)}, {"B", Bytes(4, 2)}});
  Memory memory{&wad};
  // The size taken before reading still includes a directory that is gone when it is read.
  Bytes shrunk(wad.begin(), wad.end() - 20);
  memory.bytes = &shrunk;
  EXPECT_EQ(InspectWad({&memory, ReadMemory, wad.size()}).kind, WadKind::kDirectoryPastEnd);
}

TEST(WadInspectTest, InspectsFilesThroughTheFileInterface) {
  testing::ScratchDir dir;
  std::vector<Lump> lumps;
  AddMap(lumps, "MAP07");
  testing::WriteFileBytes(dir / "addon.wad", BuildWad("PWAD", lumps));
  EXPECT_EQ(ExplainWad(InspectWadFile(dir / "addon.wad")),
            "PWAD (add-on) with 3 lumps, maps MAP07");
  testing::WriteFileBytes(dir / "empty.wad", {});
  EXPECT_EQ(InspectWadFile(dir / "empty.wad").kind, WadKind::kEmpty);

  WadInspection missing = InspectWadFile(dir / "missing.wad");
  EXPECT_EQ(missing.kind, WadKind::kUnreadable);
  EXPECT_NE(missing.error, 0u);
  EXPECT_EQ(ExplainWad(missing), "cannot be read: " + DescribeFileError(missing.error));
  EXPECT_EQ(InspectWadFile(dir.path()).kind, WadKind::kNotRegularFile);
}

// The one check the drop target, the scan and the inspection share.
TEST(WadInspectTest, ReadsTheIdOfAFile) {
  testing::ScratchDir dir;
  const auto id_of = [&dir](const char* name, std::string_view bytes) {
    testing::WriteFileBytes(dir / name, Bytes(bytes.begin(), bytes.end()));
    return ReadWadId(dir / name);
  };
  EXPECT_EQ(id_of("i.wad", "IWAD"), WadId::kIwad);
  EXPECT_EQ(id_of("p.wad", "PWAD\x01\x00\x00\x00"), WadId::kPwad);
  EXPECT_EQ(id_of("short.wad", "IWA"), WadId::kNone);
  EXPECT_EQ(id_of("lower.wad", "iwad"), WadId::kNone);
  EXPECT_EQ(id_of("empty.wad", ""), WadId::kNone);
  EXPECT_EQ(ReadWadId(dir / "missing.wad"), WadId::kNone);
  EXPECT_EQ(ReadWadId(dir.path()), WadId::kNone);
}

}  // namespace
}  // namespace tvl
