// Writes the inputs of the apply benchmark (tools/bench-apply.sh): a source file, a VCDIFF patch
// that rebuilds a target of about the same size from it, and that target itself for checking.
//
// usage: apply_bench_gen DIR [MIB] [in-order|scattered|small-ops]
//   112 MiB by default, so both files exceed 100 MB. Three shapes:
//   in-order   source copies of 16 to 256 KiB, most going on where the last one ended, a few bytes
//              on, as between two releases of a game whose lumps mostly keep their order; a small
//              add between every few copies.
//   scattered  the same copies, each from anywhere in the source: the hardest case for reading.
//   small-ops  ADDs and RUNs of 1 to 100 bytes, short copies within the target and short copies
//              from anywhere in a WAD-like source: the most instructions and block requests per
//              target byte, as between releases whose lumps were rebuilt.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vcdiff/adler32.h"
#include "vcdiff/varint.h"

namespace {

constexpr uint64_t kWindowSize = 8 << 20;  // as the built-in patches use

// Default code table opcodes whose size follows in the instruction section (RFC 3284 5.6).
constexpr uint8_t kRunOpcode = 0;
constexpr uint8_t kAddOpcode = 1;
constexpr uint8_t kCopySelfOpcode = 19;  // COPY, mode 0 (VCD_SELF): the address as it is

enum class Shape { kInOrder, kScattered, kSmallOps };

struct Random {
  uint64_t state;
  uint64_t Next() {  // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
  }
  uint64_t Below(uint64_t limit) { return Next() % limit; }
  uint64_t Between(uint64_t low, uint64_t high) { return low + Below(high - low + 1); }
};

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

void FillRandom(Random& random, uint8_t* out, size_t size) {
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(random.Next() >> 24);
}

std::vector<uint8_t> RandomSource(Random& random, uint64_t size) {
  std::vector<uint8_t> source(size);
  FillRandom(random, source.data(), source.size());
  return source;
}

// A WAD's layout: a 12-byte header, lumps of a few bytes to a few hundred KiB (maps' small
// records, palettes, graphics with long runs of one colour, sounds), and a directory of 16 bytes
// per lump at the end. Short copies then land anywhere in it, as lumps rebuilt between releases
// take their pieces from all over the old file.
std::vector<uint8_t> WadLikeSource(Random& random, uint64_t size) {
  std::vector<uint8_t> source(size);
  std::memcpy(source.data(), "IWAD", 4);
  uint64_t at = 12;
  const uint64_t directory_room = size / 64;
  while (at < size - directory_room) {
    const uint64_t scale = random.Below(4);
    const uint64_t length =
        std::min(size - directory_room - at, random.Between(1, uint64_t{64} << (scale * 4)));
    uint8_t* lump = source.data() + at;
    if (random.Below(3) == 0) {
      // Flat colour runs, as in graphics and maps.
      for (uint64_t i = 0; i < length;) {
        const uint64_t run = std::min(length - i, random.Between(1, 200));
        std::memset(lump + i, static_cast<int>(random.Below(256)), run);
        i += run;
      }
    } else {
      FillRandom(random, lump, length);
    }
    at += length;
  }
  FillRandom(random, source.data() + at, size - at);  // the directory's names and offsets
  return source;
}

// The instructions, data and addresses of one window, and the target bytes they make.
struct Window {
  uint64_t start = 0;  // the window's first byte in the target
  std::vector<uint8_t> data, instructions, addresses;
};

struct Counts {
  uint64_t windows = 0, adds = 0, runs = 0, source_copies = 0, target_copies = 0;
};

void Add(Window& window, std::vector<uint8_t>& target, Random& random, uint64_t n) {
  window.instructions.push_back(kAddOpcode);
  tvl::AppendVarint(window.instructions, n);
  for (uint64_t i = 0; i < n; ++i) {
    const uint8_t byte = static_cast<uint8_t>(random.Next());
    window.data.push_back(byte);
    target.push_back(byte);
  }
}

void CopySource(Window& window, std::vector<uint8_t>& target, const std::vector<uint8_t>& source,
                uint64_t address, uint64_t n) {
  window.instructions.push_back(kCopySelfOpcode);
  tvl::AppendVarint(window.instructions, n);
  tvl::AppendVarint(window.addresses, address);
  target.insert(target.end(), source.begin() + address, source.begin() + address + n);
}

// One window of the in-order or scattered shape; `next_address` is where the last copy ended.
void FillLargeCopies(Window& window, std::vector<uint8_t>& target,
                     const std::vector<uint8_t>& source, uint64_t length, bool scattered,
                     Random& random, uint64_t& next_address, Counts& counts) {
  const uint64_t size = source.size();
  while (target.size() - window.start < length) {
    const uint64_t left = length - (target.size() - window.start);
    if (random.Below(4) == 0) {
      Add(window, target, random, std::min<uint64_t>(random.Between(1, 64), left));
      ++counts.adds;
      continue;
    }
    const uint64_t n = std::min<uint64_t>((16 << 10) + random.Below(240 << 10), left);
    uint64_t address = next_address + random.Below(4096);
    if (scattered || random.Below(10) == 0 || address > size - n) {
      address = random.Below(size - n + 1);
    }
    next_address = address + n;
    CopySource(window, target, source, address, n);
    ++counts.source_copies;
  }
}

// One window of the small-ops shape.
void FillSmallOps(Window& window, std::vector<uint8_t>& target, const std::vector<uint8_t>& source,
                  uint64_t length, Random& random, Counts& counts) {
  while (target.size() - window.start < length) {
    const uint64_t done = target.size() - window.start;
    const uint64_t n = std::min<uint64_t>(random.Between(1, 100), length - done);
    const uint64_t kind = random.Below(10);
    if (kind < 3 || (kind < 6 && done < 4096)) {
      Add(window, target, random, n);
      ++counts.adds;
    } else if (kind < 5) {
      const uint8_t byte = static_cast<uint8_t>(random.Next());
      window.instructions.push_back(kRunOpcode);
      tvl::AppendVarint(window.instructions, n);
      window.data.push_back(byte);
      target.insert(target.end(), n, byte);
      ++counts.runs;
    } else if (kind < 6) {
      // From the last 64 KiB of this window; it may overlap the bytes it writes.
      const uint64_t from = done - 1 - random.Below(std::min<uint64_t>(done, 65536));
      window.instructions.push_back(kCopySelfOpcode);
      tvl::AppendVarint(window.instructions, n);
      tvl::AppendVarint(window.addresses, source.size() + from);
      for (uint64_t i = 0; i < n; ++i) target.push_back(target[window.start + from + i]);
      ++counts.target_copies;
    } else {
      CopySource(window, target, source, random.Below(source.size() - n + 1), n);
      ++counts.source_copies;
    }
  }
}

void PutWindow(std::vector<uint8_t>& patch, const Window& window,
               const std::vector<uint8_t>& target, uint64_t source_size) {
  const uint64_t length = target.size() - window.start;
  const uint32_t checksum =
      tvl::Adler32(tvl::kAdler32Initial, target.data() + window.start, length);
  patch.push_back(0x05);                  // VCD_SOURCE | Adler-32
  tvl::AppendVarint(patch, source_size);  // the whole source is the segment
  tvl::AppendVarint(patch, 0);
  const uint64_t encoding = tvl::VarintSize(length) + 1 + tvl::VarintSize(window.data.size()) +
                            tvl::VarintSize(window.instructions.size()) +
                            tvl::VarintSize(window.addresses.size()) + 4 + window.data.size() +
                            window.instructions.size() + window.addresses.size();
  tvl::AppendVarint(patch, encoding);
  tvl::AppendVarint(patch, length);
  patch.push_back(0);
  tvl::AppendVarint(patch, window.data.size());
  tvl::AppendVarint(patch, window.instructions.size());
  tvl::AppendVarint(patch, window.addresses.size());
  for (int shift = 24; shift >= 0; shift -= 8) {
    patch.push_back(static_cast<uint8_t>(checksum >> shift));
  }
  patch.insert(patch.end(), window.data.begin(), window.data.end());
  patch.insert(patch.end(), window.instructions.begin(), window.instructions.end());
  patch.insert(patch.end(), window.addresses.begin(), window.addresses.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [MIB] [in-order|scattered|small-ops]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const uint64_t size = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 112) << 20;
  const std::string shape_name = argc > 3 ? argv[3] : "in-order";
  Shape shape = Shape::kInOrder;
  if (shape_name == "scattered") {
    shape = Shape::kScattered;
  } else if (shape_name == "small-ops") {
    shape = Shape::kSmallOps;
  } else if (shape_name != "in-order") {
    std::fprintf(stderr, "unknown shape %s\n", shape_name.c_str());
    return 2;
  }
  if (size < (1 << 20)) {
    std::fprintf(stderr, "at least 1 MiB, please\n");
    return 2;
  }
  Random random{0x9E3779B97F4A7C15ULL};
  const std::vector<uint8_t> source =
      shape == Shape::kSmallOps ? WadLikeSource(random, size) : RandomSource(random, size);

  std::vector<uint8_t> patch = {0xD6, 0xC3, 0xC4, 0x00, 0x04};
  const std::string app_header = "target.wad//source.wad/";
  tvl::AppendVarint(patch, app_header.size());
  patch.insert(patch.end(), app_header.begin(), app_header.end());
  std::vector<uint8_t> target;
  target.reserve(size + 100);
  Counts counts;
  uint64_t next_address = 0;
  while (target.size() < size) {
    Window window;
    window.start = target.size();
    const uint64_t length = std::min<uint64_t>(kWindowSize, size - target.size());
    if (shape == Shape::kSmallOps) {
      FillSmallOps(window, target, source, length, random, counts);
    } else {
      FillLargeCopies(window, target, source, length, shape == Shape::kScattered, random,
                      next_address, counts);
    }
    PutWindow(patch, window, target, source.size());
    ++counts.windows;
  }

  if (!WriteFile(dir + "/source.bin", source) || !WriteFile(dir + "/patch.vcdiff", patch) ||
      !WriteFile(dir + "/expected.bin", target)) {
    std::fprintf(stderr, "cannot write into %s\n", dir.c_str());
    return 1;
  }
  std::printf(
      "%s: source %zu bytes, target %zu bytes, patch %zu bytes: %llu windows, %llu source "
      "copies, %llu target copies, %llu adds, %llu runs\n",
      shape_name.c_str(), source.size(), target.size(), patch.size(),
      static_cast<unsigned long long>(counts.windows),
      static_cast<unsigned long long>(counts.source_copies),
      static_cast<unsigned long long>(counts.target_copies),
      static_cast<unsigned long long>(counts.adds), static_cast<unsigned long long>(counts.runs));
  return 0;
}
