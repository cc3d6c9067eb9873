// The memory floor under the many-small-operations patch shape: copies of 1 to 100 bytes from
// random places of a 112 MiB file viewed through the system's page cache, as many as that
// shape's patch makes (930,507), with nothing else to do between them. Decoding such a patch
// can't be faster than this on the machine at hand; compare it with cp of the target.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/file.h"
#include "platform/file_view.h"

namespace tvl {
namespace {

constexpr uint64_t kFileSize = uint64_t{112} << 20;
constexpr size_t kCopies = 930507;

struct Copy {
  uint64_t offset;
  uint32_t size;
};

void BM_ShortCopiesFromAViewedFile(benchmark::State& state) {
  const Path path = std::filesystem::temp_directory_path() / "tvl-source-access-bench.bin";
  {
    std::vector<uint8_t> bytes(kFileSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 2654435761u);
    File file = File::CreateForWrite(path);
    file.Write(bytes.data(), bytes.size());
  }
  std::vector<Copy> copies(kCopies);
  uint64_t random = 88172645463325252u;
  for (Copy& copy : copies) {
    random ^= random << 13;
    random ^= random >> 7;
    random ^= random << 17;
    copy.size = static_cast<uint32_t>(1 + random % 100);
    copy.offset = (random >> 8) % (kFileSize - copy.size);
  }
  std::vector<uint8_t> window(8 << 20);
  for (auto _ : state) {
    // A new view each time, as each run of the program makes: its pages are mapped afresh.
    File file = File::OpenForRead(path);
    FileView view = FileView::Map(file);
    if (!view.is_mapped()) {
      state.SkipWithError("this system reads files instead of viewing them");
      break;
    }
    size_t out = 0;
    for (const Copy& copy : copies) {
      if (out + copy.size > window.size()) out = 0;
      std::memcpy(window.data() + out, view.data() + copy.offset, copy.size);
      out += copy.size;
    }
    benchmark::DoNotOptimize(window.data());
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_ShortCopiesFromAViewedFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tvl

BENCHMARK_MAIN();
