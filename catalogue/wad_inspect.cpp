#include "catalogue/wad_inspect.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace tvl {
namespace {

// A WAD begins with "IWAD" or "PWAD", the lump count and the directory's offset (both int32,
// little-endian); the directory is one 16-byte entry per lump: offset, size (int32 each) and a
// NUL-padded 8-character name.
constexpr size_t kHeaderSize = 12;
constexpr size_t kEntrySize = 16;
constexpr size_t kNameSize = 8;
// The directory is read in pieces of this many entries, whatever the header claims.
constexpr size_t kEntriesPerRead = 1024;

int32_t Int32Le(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}

// The name as the engine sees it: up to the first NUL, in upper case.
struct LumpName {
  char text[kNameSize + 1] = {};
  bool Is(const char* name) const { return std::strcmp(text, name) == 0; }
};

LumpName ReadName(const uint8_t* p) {
  LumpName name;
  for (size_t i = 0; i < kNameSize && p[i] != 0; ++i) {
    char c = static_cast<char>(p[i]);
    name.text[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return name;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The map slot a marker names: ExMy gives 0..80, MAPnn gives 100 + nn; -1 for any other name.
constexpr int kNumberedBase = 100;
int MapSlot(const LumpName& name) {
  const char* t = name.text;
  if (t[0] == 'E' && t[1] >= '1' && t[1] <= '9' && t[2] == 'M' && t[3] >= '1' && t[3] <= '9' &&
      t[4] == 0) {
    return 9 * (t[1] - '1') + (t[3] - '1');
  }
  if (std::strncmp(t, "MAP", 3) == 0 && IsDigit(t[3]) && IsDigit(t[4]) && t[5] == 0) {
    return kNumberedBase + 10 * (t[3] - '0') + (t[4] - '0');
  }
  return -1;
}

// A marker only counts as a map when map data follows it: classic or text format.
bool IsMapData(const LumpName& name) { return name.Is("THINGS") || name.Is("TEXTMAP"); }

// Lumps that only one game's data carries.
enum Telltale : unsigned {
  kTellFreedoom = 1u << 0,
  kTellFreeDm = 1u << 1,
  kTellHacx = 1u << 2,
  kTellChex = 1u << 3,
  kTellStrife = 1u << 4,
  kTellHeretic = 1u << 5,
  kTellHexen = 1u << 6,
};

struct TelltaleLump {
  const char* name;
  Telltale mark;
};

constexpr TelltaleLump kTelltales[] = {
    {"FREEDOOM", kTellFreedoom},  // every Freedoom IWAD names itself
    {"FREEDM", kTellFreeDm},
    {"HACX-R", kTellHacx},  // the title graphics of Hacx
    {"HACX-E", kTellHacx},
    {"W94_1", kTellChex},  // Chex Quest's textures and sprite frames
    {"POSSH0M0", kTellChex},
    {"CYCLA1", kTellChex},  // Chex Quest 3
    {"FLMBA1", kTellChex},
    {"ENDSTRF", kTellStrife},    // Strife's ending text
    {"SCRIPT00", kTellStrife},   // its conversation scripts
    {"MUS_E1M1", kTellHeretic},  // Heretic's music names
    {"WINNOWR", kTellHexen},
    {"BEHAVIOR", kTellHexen},  // compiled map scripts, Hexen's map format
};

unsigned TelltaleOf(const LumpName& name) {
  for (const TelltaleLump& lump : kTelltales) {
    if (name.Is(lump.name)) return lump.mark;
  }
  return 0;
}

WadFamily FamilyOf(unsigned telltales, const WadInspection& wad) {
  bool numbered = wad.numbered_maps.any(), episodes = wad.episode_maps.any();
  if (telltales & kTellFreedoom) {
    if (telltales & kTellFreeDm) return WadFamily::kFreeDm;
    return numbered ? WadFamily::kFreedoom2 : WadFamily::kFreedoom1;
  }
  if (telltales & kTellHacx) return WadFamily::kHacx;
  if (telltales & kTellChex) return WadFamily::kChexQuest;
  if (telltales & kTellStrife) return WadFamily::kStrife;
  if (telltales & kTellHeretic) return WadFamily::kHeretic;
  if (telltales & kTellHexen) return WadFamily::kHexen;
  if (numbered) return WadFamily::kDoom2;
  if (episodes) return WadFamily::kDoom;
  return WadFamily::kUnknown;
}

WadInspection Failed(WadKind kind, FileError error = 0) {
  WadInspection result;
  result.kind = kind;
  result.error = error;
  return result;
}

struct FileContext {
  File* file;
};

int64_t ReadFileAt(void* context, uint64_t offset, void* buffer, size_t size, FileError* error) {
  File& file = *static_cast<FileContext*>(context)->file;
  if (!file.Seek(offset, error)) return -1;
  size_t done = 0;
  while (done < size) {
    int64_t got = file.Read(static_cast<uint8_t*>(buffer) + done, size - done, error);
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

}  // namespace

WadId WadIdOf(const uint8_t* bytes, size_t size) {
  if (size < 4) return WadId::kNone;
  if (std::memcmp(bytes, "IWAD", 4) == 0) return WadId::kIwad;
  if (std::memcmp(bytes, "PWAD", 4) == 0) return WadId::kPwad;
  return WadId::kNone;
}

WadId ReadWadId(const Path& path) {
  File file = File::OpenForRead(path);
  if (!file.is_open()) return WadId::kNone;
  FileContext context{&file};
  uint8_t id[4];
  const int64_t got = ReadFileAt(&context, 0, id, sizeof id, nullptr);
  return got < 0 ? WadId::kNone : WadIdOf(id, static_cast<size_t>(got));
}

WadInspection InspectWad(const WadSource& source) {
  uint8_t header[kHeaderSize];
  FileError error = 0;
  int64_t got = source.read_at(source.context, 0, header, kHeaderSize, &error);
  if (got < 0) return Failed(WadKind::kUnreadable, error);
  if (got == 0) return Failed(WadKind::kEmpty);
  const WadId id = WadIdOf(header, static_cast<size_t>(got));
  if (id == WadId::kNone) return Failed(WadKind::kNotWad);
  WadInspection result;
  result.iwad = id == WadId::kIwad;
  if (static_cast<size_t>(got) < kHeaderSize) {
    result.kind = WadKind::kShortHeader;
    return result;
  }
  const int32_t count = Int32Le(header + 4), offset = Int32Le(header + 8);
  if (count < 0 || offset < 0) {
    result.kind = WadKind::kBadHeader;
    return result;
  }
  result.lump_count = static_cast<uint32_t>(count);
  // Both are below 2^31, so this sum cannot overflow 64 bits.
  const uint64_t directory_end =
      static_cast<uint64_t>(offset) + static_cast<uint64_t>(count) * kEntrySize;
  if (directory_end > source.size) {
    result.kind = WadKind::kDirectoryPastEnd;
    return result;
  }

  uint8_t entries[kEntriesPerRead * kEntrySize];
  unsigned telltales = 0;
  int pending_map = -1;  // a marker waiting for the lump that shows it is a map
  for (uint32_t done = 0; done < result.lump_count;) {
    const size_t batch = std::min<size_t>(kEntriesPerRead, result.lump_count - done);
    const uint64_t at = static_cast<uint64_t>(offset) + uint64_t{done} * kEntrySize;
    got = source.read_at(source.context, at, entries, batch * kEntrySize, &error);
    if (got < 0) return Failed(WadKind::kUnreadable, error);
    // The file shrank since its size was taken.
    if (static_cast<size_t>(got) < batch * kEntrySize) {
      result.kind = WadKind::kDirectoryPastEnd;
      return result;
    }
    for (size_t i = 0; i < batch; ++i) {
      const uint8_t* entry = entries + i * kEntrySize;
      const int32_t position = Int32Le(entry), size = Int32Le(entry + 4);
      const LumpName name = ReadName(entry + 8);
      if (size != 0 &&
          (position < 0 || size < 0 ||
           static_cast<uint64_t>(position) + static_cast<uint64_t>(size) > source.size)) {
        ++result.lumps_past_end;
      }
      if (pending_map >= 0 && IsMapData(name)) {
        if (pending_map < kNumberedBase) {
          result.episode_maps.set(static_cast<size_t>(pending_map));
        } else {
          result.numbered_maps.set(static_cast<size_t>(pending_map - kNumberedBase));
        }
      }
      pending_map = MapSlot(name);
      telltales |= TelltaleOf(name);
    }
    done += static_cast<uint32_t>(batch);
  }
  result.family = FamilyOf(telltales, result);
  if (result.lumps_past_end > 0) {
    result.kind = WadKind::kLumpsPastEnd;
  } else {
    result.kind = result.iwad ? WadKind::kIwad : WadKind::kPwad;
  }
  return result;
}

WadInspection InspectWadFile(const Path& path) {
  // Opening a pipe could wait for a writer forever, and a device has no size to check against.
  std::error_code status_error;
  std::filesystem::file_status status = std::filesystem::status(path, status_error);
  if (!status_error && !std::filesystem::is_regular_file(status)) {
    return Failed(WadKind::kNotRegularFile);
  }
  FileError error = 0;
  File file = File::OpenForRead(path, &error);
  if (!file.is_open()) return Failed(WadKind::kUnreadable, error);
  std::error_code size_error;
  const uintmax_t size = std::filesystem::file_size(path, size_error);
  if (size_error) return Failed(WadKind::kUnreadable);
  FileContext context{&file};
  return InspectWad({&context, ReadFileAt, static_cast<uint64_t>(size)});
}

}  // namespace tvl
