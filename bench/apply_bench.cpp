// Writes the inputs of the apply benchmark (tools/bench-apply.sh): a pseudo-random source file, a
// VCDIFF patch that rebuilds a target of about the same size mostly from source copies with a few
// small adds, and that target itself for checking.
//
// usage: apply_bench_gen DIR [MIB] [in-order|scattered]
//   112 MiB by default, so both files exceed 100 MB. Copies are in order by default: most go on
//   where the last one ended, a few bytes on, as between two releases of a game whose lumps mostly
//   keep their order. Scattered copies all come from anywhere, the hardest case for reading.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vcdiff/adler32.h"
#include "vcdiff/varint.h"

namespace {

constexpr uint64_t kWindowSize = 8 << 20;  // as the built-in patches use

struct Random {
  uint64_t state;
  uint64_t Next() {  // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
  }
  uint64_t Below(uint64_t limit) { return Next() % limit; }
};

void PutVarint(std::vector<uint8_t>& out, uint64_t value) {
  uint8_t bytes[tvl::kMaxVarintSize];
  out.insert(out.end(), bytes, bytes + tvl::WriteVarint(value, bytes));
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [MIB] [in-order|scattered]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const uint64_t size = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 112) << 20;
  const bool scattered = argc > 3 && std::string(argv[3]) == "scattered";
  Random random{0x9E3779B97F4A7C15ULL};

  std::vector<uint8_t> source(size);
  for (size_t i = 0; i + 8 <= source.size(); i += 8) {
    uint64_t word = random.Next();
    for (int b = 0; b < 8; ++b) source[i + b] = static_cast<uint8_t>(word >> (8 * b));
  }

  // Windows of source copies of 16 to 256 KiB with an add of 1 to 64 new bytes between every few
  // copies: the shape of a patch between two releases of a game.
  std::vector<uint8_t> patch = {0xD6, 0xC3, 0xC4, 0x00, 0x04};
  const std::string app_header = "target.wad//source.wad/";
  PutVarint(patch, app_header.size());
  patch.insert(patch.end(), app_header.begin(), app_header.end());
  std::vector<uint8_t> target;
  target.reserve(size);
  uint64_t windows = 0, copies = 0, adds = 0;
  uint64_t next_address = 0;  // where the last copy ended
  while (target.size() < size) {
    const uint64_t length = std::min<uint64_t>(kWindowSize, size - target.size());
    const size_t start = target.size();
    std::vector<uint8_t> data, instructions, addresses;
    while (target.size() - start < length) {
      const uint64_t left = length - (target.size() - start);
      if (random.Below(4) == 0) {
        const uint64_t n = std::min<uint64_t>(1 + random.Below(64), left);
        instructions.push_back(1);  // ADD, size follows
        PutVarint(instructions, n);
        for (uint64_t i = 0; i < n; ++i) {
          const uint8_t byte = static_cast<uint8_t>(random.Next());
          data.push_back(byte);
          target.push_back(byte);
        }
        ++adds;
      } else {
        const uint64_t n = std::min<uint64_t>((16 << 10) + random.Below(240 << 10), left);
        uint64_t address = next_address + random.Below(4096);
        if (scattered || random.Below(10) == 0 || address > size - n) {
          address = random.Below(size - n + 1);
        }
        next_address = address + n;
        instructions.push_back(19);  // COPY mode 0 (VCD_SELF), size follows
        PutVarint(instructions, n);
        PutVarint(addresses, address);
        target.insert(target.end(), source.begin() + address, source.begin() + address + n);
        ++copies;
      }
    }
    const uint32_t checksum = tvl::Adler32(tvl::kAdler32Initial, target.data() + start, length);
    patch.push_back(0x05);   // VCD_SOURCE | Adler-32
    PutVarint(patch, size);  // the whole source is the segment
    PutVarint(patch, 0);
    const uint64_t encoding = tvl::VarintSize(length) + 1 + tvl::VarintSize(data.size()) +
                              tvl::VarintSize(instructions.size()) +
                              tvl::VarintSize(addresses.size()) + 4 + data.size() +
                              instructions.size() + addresses.size();
    PutVarint(patch, encoding);
    PutVarint(patch, length);
    patch.push_back(0);
    PutVarint(patch, data.size());
    PutVarint(patch, instructions.size());
    PutVarint(patch, addresses.size());
    for (int shift = 24; shift >= 0; shift -= 8)
      patch.push_back(static_cast<uint8_t>(checksum >> shift));
    patch.insert(patch.end(), data.begin(), data.end());
    patch.insert(patch.end(), instructions.begin(), instructions.end());
    patch.insert(patch.end(), addresses.begin(), addresses.end());
    ++windows;
  }

  if (!WriteFile(dir + "/source.bin", source) || !WriteFile(dir + "/patch.vcdiff", patch) ||
      !WriteFile(dir + "/expected.bin", target)) {
    std::fprintf(stderr, "cannot write into %s\n", dir.c_str());
    return 1;
  }
  std::printf(
      "source %zu bytes, target %zu bytes, patch %zu bytes: %llu windows, %llu copies, "
      "%llu adds\n",
      source.size(), target.size(), patch.size(), static_cast<unsigned long long>(windows),
      static_cast<unsigned long long>(copies), static_cast<unsigned long long>(adds));
  return 0;
}
