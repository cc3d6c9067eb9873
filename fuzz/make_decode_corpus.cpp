// Writes the decode fuzzer's seed corpus: a few tiny valid streams, each behind the fuzzer's
// option bytes and source (see decode_fuzzer.cpp). Usage: tvl_decode_corpus <directory>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "vcdiff/adler32.h"
#include "vcdiff/decode_memory.h"
#include "vcdiff/varint.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Window {
  uint8_t indicator;  // VCD_SOURCE 0x01, checksum 0x04
  uint64_t copy_length, copy_offset, target_length;
  Bytes data, instructions, addresses;
};

Bytes Encode(const std::vector<Window>& windows, const std::vector<Bytes>& targets) {
  Bytes out = {0xD6, 0xC3, 0xC4, 0x00, 0x04};
  const std::string app = "new.wad//old.wad/";
  tvl::AppendVarint(out, app.size());
  out.insert(out.end(), app.begin(), app.end());
  for (size_t i = 0; i < windows.size(); ++i) {
    const Window& w = windows[i];
    const bool checksum = (w.indicator & 4) != 0 && !targets.empty();
    Bytes body;
    tvl::AppendVarint(body, w.target_length);
    body.push_back(0);
    tvl::AppendVarint(body, w.data.size());
    tvl::AppendVarint(body, w.instructions.size());
    tvl::AppendVarint(body, w.addresses.size());
    if (checksum) {
      const uint32_t sum = tvl::Adler32(1, targets[i].data(), targets[i].size());
      for (int shift = 24; shift >= 0; shift -= 8) body.push_back(uint8_t(sum >> shift));
    }
    for (const Bytes* section : {&w.data, &w.instructions, &w.addresses}) {
      body.insert(body.end(), section->begin(), section->end());
    }
    out.push_back(checksum ? w.indicator : w.indicator & ~4);
    if (w.indicator & 1) {
      tvl::AppendVarint(out, w.copy_length);
      tvl::AppendVarint(out, w.copy_offset);
    }
    tvl::AppendVarint(out, body.size());
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

// The windows' targets, as our decoder rebuilds them without checksums.
std::vector<Bytes> Targets(const Bytes& patch, const Bytes& source) {
  tvl::MemoryDecodeOptions options;
  options.block_size = 1 << 20;  // the whole source in one block
  const tvl::DecodeResult result = tvl::DecodeInMemory(patch, source, options);
  if (result.status != 0) {
    std::fprintf(stderr, "seed does not decode: %s\n", result.message.c_str());
  }
  std::vector<Bytes> targets;
  auto next = result.output.begin();
  for (uint64_t size : result.window_sizes) {
    targets.emplace_back(next, next + static_cast<std::ptrdiff_t>(size));
    next += static_cast<std::ptrdiff_t>(size);
  }
  return targets;
}

bool WriteSeed(const std::string& path, Bytes options, const Bytes& source,
               const std::vector<Window>& windows) {
  const Bytes patch = Encode(windows, Targets(Encode(windows, {}), source));
  options[1] = static_cast<uint8_t>(source.size());
  options.insert(options.end(), source.begin(), source.end());
  options.insert(options.end(), patch.begin(), patch.end());
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(options.data(), 1, options.size(), file) == options.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  Bytes source(200);
  for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 13 + 5);
  bool ok = true;
  // RUN, then ADD with an overlapping target COPY; no source.
  ok &= WriteSeed(dir + "run_add_copy", {4, 0, 0, 0}, {},
                  {{4, 0, 0, 23, {'x', 'a', 'b', 'c'}, {0, 10, 4, 26}, {10}}});
  // Source copies across 8-byte blocks in 5-byte pieces, a segment past the source's end, ADD
  // paired with COPY, and a same-cache COPY paired with ADD.
  ok &= WriteSeed(dir + "source_blocks", {3, 0, 5, 1}, source,
                  {{5, 60, 150, 40, {'z', 'q'}, {19, 30, 163, 253}, {0, 2, 2}}});
  // Two windows in varying pieces: near and HERE modes, explicit sizes, then the same-cache
  // modes 7 and 8 over a target of 600 bytes.
  ok &= WriteSeed(dir + "two_windows", {6, 0, 9, 0x15}, source,
                  {{5, 100, 0, 30, {'m', 'r'}, {35, 10, 68, 2, 55, 0, 3, 21}, {40, 10, 7, 102}},
                   {4,
                    0,
                    0,
                    624,
                    {'r', 'k', 'x'},
                    {0, 0x84, 0x58, 20, 243, 26, 254},
                    {0x84, 0x08, 8, 0x82, 0x2C, 44}}});
  // No source attached and a window that needs none.
  ok &= WriteSeed(dir + "no_source", {0, 0, 1, 2}, {}, {{4, 0, 0, 3, {'a', 'b', 'c'}, {4}, {}}});
  // A data section longer than one buffer growth step, in varying pieces: its copy must grow
  // while keeping what it holds. ADD 16500 with an explicit size, then a target COPY of 4.
  Bytes long_data(16500);
  for (size_t i = 0; i < long_data.size(); ++i)
    long_data[i] = static_cast<uint8_t>(i * 7 + i / 256);
  ok &= WriteSeed(dir + "long_section", {0, 0, 200, 0x21}, {},
                  {{4, 0, 0, 16504, long_data, {1, 0x81, 0x80, 0x74, 20}, {10}}});
  return ok ? 0 : 1;
}
