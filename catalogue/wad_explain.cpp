// The English texts that say what an inspected file is.
#include <string>
#include <vector>

#include "catalogue/wad_inspect.h"

namespace tvl {
namespace {

// A run of consecutive maps of one kind: E1M1-E1M9, MAP01-MAP32.
struct MapRun {
  bool numbered;
  int first, last;  // slots: 9*(x-1)+(y-1) for ExMy, nn for MAPnn
};

std::string MapName(bool numbered, int slot) {
  char text[8];
  if (numbered) {
    text[0] = 'M', text[1] = 'A', text[2] = 'P';
    text[3] = static_cast<char>('0' + slot / 10), text[4] = static_cast<char>('0' + slot % 10);
    return std::string(text, 5);
  }
  text[0] = 'E', text[1] = static_cast<char>('1' + slot / 9);
  text[2] = 'M', text[3] = static_cast<char>('1' + slot % 9);
  return std::string(text, 4);
}

std::vector<MapRun> MapRuns(const WadInspection& wad) {
  std::vector<MapRun> runs;
  auto add = [&runs](bool numbered, int slot, bool continues) {
    if (continues && !runs.empty() && runs.back().numbered == numbered &&
        runs.back().last == slot - 1) {
      runs.back().last = slot;
    } else {
      runs.push_back({numbered, slot, slot});
    }
  };
  for (int slot = 0; slot < kEpisodeMapSlots; ++slot) {
    // ExM9 and E(x+1)M1 are neighbours as slots, but not as maps.
    if (wad.episode_maps.test(static_cast<size_t>(slot))) add(false, slot, slot % 9 != 0);
  }
  for (int slot = 0; slot < kNumberedMapSlots; ++slot) {
    if (wad.numbered_maps.test(static_cast<size_t>(slot))) add(true, slot, true);
  }
  return runs;
}

// At most this many runs are written out; a text stays one readable line.
constexpr size_t kListedRuns = 8;

std::string DescribeMaps(const WadInspection& wad) {
  std::vector<MapRun> runs = MapRuns(wad);
  if (runs.empty()) return "no maps";
  std::string text = "maps ";
  int listed = 0;
  for (size_t i = 0; i < runs.size() && i < kListedRuns; ++i) {
    const MapRun& run = runs[i];
    if (i > 0) text += ", ";
    text += MapName(run.numbered, run.first);
    if (run.last != run.first) {
      text += '-';
      text += MapName(run.numbered, run.last);
    }
    listed += run.last - run.first + 1;
  }
  if (runs.size() > kListedRuns)
    text += " and " + std::to_string(wad.map_count() - listed) + " more";
  return text;
}

std::string Count(uint32_t n, const char* singular, const char* plural) {
  return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

}  // namespace

const char* WadFamilyName(WadFamily family) {
  switch (family) {
    case WadFamily::kUnknown:
      return "unknown";
    case WadFamily::kDoom:
      return "Doom";
    case WadFamily::kDoom2:
      return "Doom II";
    case WadFamily::kHeretic:
      return "Heretic";
    case WadFamily::kHexen:
      return "Hexen";
    case WadFamily::kStrife:
      return "Strife";
    case WadFamily::kChexQuest:
      return "Chex Quest";
    case WadFamily::kHacx:
      return "Hacx";
    case WadFamily::kFreedoom1:
      return "Freedoom Phase 1";
    case WadFamily::kFreedoom2:
      return "Freedoom Phase 2";
    case WadFamily::kFreeDm:
      return "FreeDM";
  }
  return "unknown";
}

std::string ExplainWad(const WadInspection& wad) {
  switch (wad.kind) {
    case WadKind::kKnownRelease:
      return "known release";
    case WadKind::kEmpty:
      return "empty file";
    case WadKind::kNotWad:
      return "not a WAD file";
    case WadKind::kNotRegularFile:
      return "not a regular file";
    case WadKind::kUnreadable:
      return wad.error != 0 ? "cannot be read: " + DescribeFileError(wad.error)
                            : std::string("cannot be read");
    case WadKind::kShortHeader:
      return "truncated WAD: header cut short";
    case WadKind::kBadHeader:
      return "damaged WAD: negative lump count or directory offset";
    case WadKind::kDirectoryPastEnd:
      return "truncated WAD: directory past end of file";
    case WadKind::kLumpsPastEnd:
      return "truncated WAD: " + Count(wad.lumps_past_end, "lump", "lumps") + " of " +
             std::to_string(wad.lump_count) + " past end of file";
    case WadKind::kPwad:
      return "PWAD (add-on) with " + Count(wad.lump_count, "lump", "lumps") + ", " +
             DescribeMaps(wad);
    case WadKind::kIwad: {
      std::string family =
          wad.family == WadFamily::kUnknown
              ? std::string("IWAD of no known family")
              : std::string("IWAD of the ") + WadFamilyName(wad.family) + " family";
      return family + " (" + Count(wad.lump_count, "lump", "lumps") + ", " +
             Count(static_cast<uint32_t>(wad.map_count()), "map", "maps") +
             "), release not in the catalogue: a modified or newer build";
    }
  }
  return "not a WAD file";
}

const char* UnknownWadNote(const WadInspection& inspection) {
  return inspection.kind == WadKind::kPwad ? "It adds to a game; it is not a game's main file."
                                           : "";
}

}  // namespace tvl
