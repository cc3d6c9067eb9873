// Decoder throughput, in bytes of target produced per second, fed like the applier does: 4 KiB
// pieces of patch and 4 KiB source blocks.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "vcdiff/adler32.h"
#include "vcdiff/decode_memory.h"
#include "vcdiff/varint.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint64_t kWindow = 8 << 20;
constexpr uint64_t kBlock = 4096;

struct Sections {
  Bytes data, instructions, addresses, target;
};

void AppendWindow(Bytes& patch, const Sections& s, uint64_t copy_length) {
  Bytes body;
  tvl::AppendVarint(body, s.target.size());
  body.push_back(0);
  tvl::AppendVarint(body, s.data.size());
  tvl::AppendVarint(body, s.instructions.size());
  tvl::AppendVarint(body, s.addresses.size());
  const uint32_t sum = tvl::Adler32(1, s.target.data(), s.target.size());
  for (int shift = 24; shift >= 0; shift -= 8) body.push_back(uint8_t(sum >> shift));
  for (const Bytes* section : {&s.data, &s.instructions, &s.addresses}) {
    body.insert(body.end(), section->begin(), section->end());
  }
  patch.push_back(copy_length > 0 ? 0x05 : 0x04);
  if (copy_length > 0) {
    tvl::AppendVarint(patch, copy_length);
    tvl::AppendVarint(patch, 0);
  }
  tvl::AppendVarint(patch, body.size());
  patch.insert(patch.end(), body.begin(), body.end());
}

struct Workload {
  Bytes source, patch;
  uint64_t target_size = 0;
};

Bytes Header() { return {0xD6, 0xC3, 0xC4, 0x00, 0x04, 3, 'b', '/', 'a'}; }

// ~64 MB rebuilt from a 64 MB source: long source copies, some short ADDs and target copies.
const Workload& SourceCopyWorkload() {
  static const Workload workload = [] {
    Workload w;
    std::mt19937_64 random(1);
    w.source.resize(64 << 20);
    for (uint8_t& byte : w.source) byte = static_cast<uint8_t>(random() >> 13);
    w.patch = Header();
    for (int window = 0; window < 8; ++window) {
      Sections s;
      while (s.target.size() < kWindow) {
        const uint64_t left = kWindow - s.target.size();
        const uint64_t kind = random() % 10;
        if (kind < 8) {  // source COPY, VCD_SELF address
          const uint64_t size = std::min<uint64_t>(left, 256 + random() % 16384);
          const uint64_t address = random() % (w.source.size() - size);
          s.instructions.push_back(19);
          tvl::AppendVarint(s.instructions, size);
          tvl::AppendVarint(s.addresses, address);
          s.target.insert(s.target.end(), w.source.begin() + address,
                          w.source.begin() + address + size);
        } else if (kind == 8 || s.target.size() < 4096) {  // ADD
          const uint64_t size = std::min<uint64_t>(left, 1 + random() % 32);
          s.instructions.push_back(1);
          tvl::AppendVarint(s.instructions, size);
          for (uint64_t i = 0; i < size; ++i) s.data.push_back(static_cast<uint8_t>(random()));
          s.target.insert(s.target.end(), s.data.end() - size, s.data.end());
        } else {  // target COPY from somewhere earlier in the window
          const uint64_t size = std::min<uint64_t>(left, 64 + random() % 2048);
          const uint64_t from = random() % (s.target.size() - 1);
          s.instructions.push_back(19);
          tvl::AppendVarint(s.instructions, size);
          tvl::AppendVarint(s.addresses, w.source.size() + from);
          for (uint64_t i = 0; i < size; ++i) s.target.push_back(s.target[from + i]);
        }
      }
      AppendWindow(w.patch, s, w.source.size());
      w.target_size += s.target.size();
    }
    return w;
  }();
  return workload;
}

// ~64 MB of short ADDs and RUNs with no source at all.
const Workload& AddRunWorkload() {
  static const Workload workload = [] {
    Workload w;
    std::mt19937_64 random(2);
    w.patch = Header();
    for (int window = 0; window < 8; ++window) {
      Sections s;
      while (s.target.size() < kWindow) {
        const uint64_t left = kWindow - s.target.size();
        if (random() % 2 == 0) {
          const uint64_t size = std::min<uint64_t>(left, 1 + random() % 17);
          s.instructions.push_back(static_cast<uint8_t>(1 + size));  // ADD, sizes 1 to 17
          for (uint64_t i = 0; i < size; ++i) {
            s.data.push_back(static_cast<uint8_t>(random()));
            s.target.push_back(s.data.back());
          }
        } else {
          const uint64_t size = std::min<uint64_t>(left, 4 + random() % 60);
          s.instructions.push_back(0);  // RUN
          tvl::AppendVarint(s.instructions, size);
          s.data.push_back(static_cast<uint8_t>(random()));
          s.target.insert(s.target.end(), size, s.data.back());
        }
      }
      AppendWindow(w.patch, s, 0);
      w.target_size += s.target.size();
    }
    return w;
  }();
  return workload;
}

// Counts the target bytes; the window itself only has to look used.
void TakeWindow(void* opaque, const uint8_t* data, uint64_t size) {
  benchmark::DoNotOptimize(data);
  *static_cast<uint64_t*>(opaque) += size;
}

void DecodeWorkload(benchmark::State& state, const Workload& w) {
  uint64_t produced = 0;
  tvl::MemoryDecodeOptions options;
  options.block_size = kBlock;
  options.pieces = {kBlock};
  options.sink = TakeWindow;
  options.sink_opaque = &produced;
  tvl::DecodeResult result;  // outlives the loop: an error's text is reported after it
  for (auto _ : state) {
    produced = 0;
    result = tvl::DecodeInMemory(w.patch, w.source, options);
    if (result.status != 0) {
      state.SkipWithError(result.message.c_str());
      break;
    }
    if (produced != w.target_size) {
      state.SkipWithError("wrong output size");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * w.target_size));
}

void BM_DecodeSourceCopies(benchmark::State& state) { DecodeWorkload(state, SourceCopyWorkload()); }
BENCHMARK(BM_DecodeSourceCopies)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_DecodeAddRun(benchmark::State& state) { DecodeWorkload(state, AddRunWorkload()); }
BENCHMARK(BM_DecodeAddRun)->Unit(benchmark::kMillisecond)->MinTime(3);

void Adler32Bench(benchmark::State& state, uint32_t (*adler)(uint32_t, const uint8_t*, size_t)) {
  const Bytes bytes(kWindow, 0xA5);
  for (auto _ : state) benchmark::DoNotOptimize(adler(1, bytes.data(), bytes.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK_CAPTURE(Adler32Bench, dispatched, tvl::Adler32);
BENCHMARK_CAPTURE(Adler32Bench, portable, tvl::Adler32Portable);

}  // namespace

BENCHMARK_MAIN();
