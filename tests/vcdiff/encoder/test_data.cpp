#include "tests/vcdiff/encoder/test_data.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

namespace tvl::testing {
namespace {

struct Lump {
  char name[8];
  Bytes data;
};

uint32_t Read32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

void Append32(Bytes& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void SetName(Lump& lump, char prefix, size_t number) {
  const std::string name = prefix + std::to_string(number % 1000000);
  std::memset(lump.name, 0, sizeof(lump.name));
  std::memcpy(lump.name, name.data(), name.size());
}

Bytes MakeLump(std::mt19937& rng, int kind) {
  std::uniform_int_distribution<int> byte(0, 255);
  Bytes data;
  switch (kind) {
    case 0: {  // picture-like noise
      data.resize(500 + rng() % 6000);
      for (auto& b : data) b = static_cast<uint8_t>(byte(rng));
      break;
    }
    case 1: {  // map records: 10-byte things with small coordinates
      const int count = 50 + rng() % 400;
      for (int i = 0; i < count; ++i) {
        for (int field = 0; field < 5; ++field) {
          const uint16_t value = static_cast<uint16_t>(rng() % (field < 2 ? 4096 : 16));
          data.push_back(static_cast<uint8_t>(value));
          data.push_back(static_cast<uint8_t>(value >> 8));
        }
      }
      break;
    }
    case 2: {  // text
      static const char* const kWords[] = {"monster ", "door ",   "key ",     "map01 ",
                                           "level ",   "sector ", "texture ", "sound "};
      std::string text;
      const int words = 100 + rng() % 600;
      for (int i = 0; i < words; ++i) text += kWords[rng() % 8];
      data.assign(text.begin(), text.end());
      break;
    }
    case 3: {  // a 64x64 flat of a few colours in stripes
      data.resize(4096);
      const uint8_t colours[3] = {uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng))};
      for (size_t i = 0; i < data.size(); ++i) data[i] = colours[(i / (1 + rng() % 40)) % 3];
      break;
    }
    default:  // padding
      data.assign(1000 + rng() % 20000, 0);
      break;
  }
  return data;
}

Bytes Build(const std::vector<Lump>& lumps) {
  Bytes out = {'I', 'W', 'A', 'D'};
  Append32(out, static_cast<uint32_t>(lumps.size()));
  Append32(out, 0);  // directory offset, patched below
  std::vector<uint32_t> offsets;
  for (const Lump& lump : lumps) {
    offsets.push_back(static_cast<uint32_t>(out.size()));
    out.insert(out.end(), lump.data.begin(), lump.data.end());
  }
  const uint32_t directory = static_cast<uint32_t>(out.size());
  for (int i = 0; i < 4; ++i) out[8 + i] = static_cast<uint8_t>(directory >> (8 * i));
  for (size_t i = 0; i < lumps.size(); ++i) {
    Append32(out, offsets[i]);
    Append32(out, static_cast<uint32_t>(lumps[i].data.size()));
    out.insert(out.end(), lumps[i].name, lumps[i].name + 8);
  }
  return out;
}

std::vector<Lump> Parse(const Bytes& wad) {
  std::vector<Lump> lumps(Read32(&wad[4]));
  const uint8_t* entry = &wad[Read32(&wad[8])];
  for (Lump& lump : lumps) {
    const uint32_t offset = Read32(entry);
    lump.data.assign(wad.begin() + offset, wad.begin() + offset + Read32(entry + 4));
    std::memcpy(lump.name, entry + 8, 8);
    entry += 16;
  }
  return lumps;
}

}  // namespace

Bytes MakeWad(uint32_t seed, int count) {
  std::mt19937 rng(seed);
  std::vector<Lump> lumps(count);
  for (int i = 0; i < count; ++i) {
    SetName(lumps[i], 'L', static_cast<size_t>(i));
    lumps[i].data = MakeLump(rng, static_cast<int>(rng() % 5));
  }
  return Build(lumps);
}

Bytes EditWad(const Bytes& wad, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Lump> in = Parse(wad);
  std::vector<Lump> out;
  for (size_t i = 0; i < in.size(); ++i) {
    Lump lump = in[i];
    switch (rng() % 10) {
      case 0:  // dropped
        continue;
      case 1:  // replaced
        lump.data = MakeLump(rng, static_cast<int>(rng() % 5));
        break;
      case 2:  // a few bytes patched in place
        for (int k = 0; k < 4 && !lump.data.empty(); ++k) {
          lump.data[rng() % lump.data.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
        }
        break;
      case 3: {  // a new lump before it
        Lump added{};
        SetName(added, 'N', i);
        added.data = MakeLump(rng, static_cast<int>(rng() % 5));
        out.push_back(added);
        break;
      }
      default:
        break;
    }
    out.push_back(lump);
  }
  // Some lumps change places, as when a release regroups its resources.
  for (size_t i = 0; i + 1 < out.size(); i += 1 + rng() % 8)
    std::swap(out[i], out[out.size() - 1 - i]);
  return Build(out);
}

int64_t PiecewiseTarget::Read(void* opaque, uint8_t* buffer, uint64_t size) {
  PiecewiseTarget& target = *static_cast<PiecewiseTarget*>(opaque);
  const uint64_t count = std::min({size, target.piece, static_cast<uint64_t>(target.rest.size())});
  if (count > 0 && target.given + count > target.fail_at) return -1;
  std::copy_n(target.rest.begin(), count, buffer);
  target.rest = target.rest.subspan(count);
  target.given += count;
  return static_cast<int64_t>(count);
}

}  // namespace tvl::testing
