// What a file looks like from its WAD header and directory, for telling the user why a file is
// not a known release. Only the 12-byte header and the directory are read, never the lumps, and
// nothing in them is trusted: counts and offsets are checked against the file's size first.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>

#include "platform/file.h"

namespace tvl {

enum class WadKind {
  kKnownRelease,      // set by the caller: the digest matched, nothing was inspected
  kEmpty,             // no bytes at all
  kNotWad,            // does not start with "IWAD" or "PWAD"
  kNotRegularFile,    // a pipe, device or folder: not looked into
  kUnreadable,        // the open or a read failed; see `error`
  kShortHeader,       // starts with a WAD id but ends inside the 12-byte header
  kBadHeader,         // negative lump count or directory offset
  kDirectoryPastEnd,  // the directory the header points to does not fit in the file
  kLumpsPastEnd,      // the directory is whole but some lumps reach past the end of the file
  kIwad,
  kPwad,
};

// Game families, told apart by map markers and telltale lumps.
enum class WadFamily {
  kUnknown,
  kDoom,
  kDoom2,
  kHeretic,
  kHexen,
  kStrife,
  kChexQuest,
  kHacx,
  kFreedoom1,
  kFreedoom2,
  kFreeDm,
};

// Map markers are kept as bits, so a directory of any size costs the same small record:
// ExMy for x, y in 1..9 and MAPnn for nn in 00..99.
inline constexpr int kEpisodeMapSlots = 81;
inline constexpr int kNumberedMapSlots = 100;

struct WadInspection {
  WadKind kind = WadKind::kNotWad;
  bool iwad = false;            // the header says IWAD (kLumpsPastEnd, kDirectoryPastEnd too)
  uint32_t lump_count = 0;      // from the header, once it is known to be sane
  uint32_t lumps_past_end = 0;  // kLumpsPastEnd: lumps whose bytes lie beyond the end
  std::bitset<kEpisodeMapSlots> episode_maps;    // bit 9*(x-1)+(y-1) for ExMy
  std::bitset<kNumberedMapSlots> numbered_maps;  // bit nn for MAPnn
  WadFamily family = WadFamily::kUnknown;
  FileError error = 0;  // kUnreadable: the system's reason

  int map_count() const { return static_cast<int>(episode_maps.count() + numbered_maps.count()); }
};

// What a file's first four bytes say it is.
enum class WadId { kNone, kIwad, kPwad };

// The id of a WAD that begins with `bytes`; kNone for fewer than four bytes or another start.
WadId WadIdOf(const uint8_t* bytes, size_t size);

// The id of the file at `path` (any length of path), read through tvl::File; kNone when it
// can't be opened or read.
WadId ReadWadId(const Path& path);

// Where the bytes come from: a file, or memory in tests. `read_at` returns the count read,
// short only at the end of the data, or -1 with `*error` set.
struct WadSource {
  void* context;
  int64_t (*read_at)(void* context, uint64_t offset, void* buffer, size_t size, FileError* error);
  uint64_t size;  // the size the checks hold the header against
};

// Inspects what `source` holds. Reads at most the header and the directory, in pieces of a
// fixed size, and allocates nothing that depends on the header.
WadInspection InspectWad(const WadSource& source);

// Inspects a file through tvl::File. Files that are not regular are not opened.
WadInspection InspectWadFile(const Path& path);

// The family's display name ("Doom II"), or "unknown" for kUnknown.
const char* WadFamilyName(WadFamily family);

// One line of English saying what the file is, e.g. "PWAD (add-on) with 12 lumps, maps MAP01".
std::string ExplainWad(const WadInspection& inspection);

// What a player should know beyond that of a file that is not a known release, as a sentence;
// empty when there is nothing. An add-on, say, is not what converting is for.
const char* UnknownWadNote(const WadInspection& inspection);

}  // namespace tvl
