// libFuzzer target: any bytes as a zip archive, its directory read and its entries unpacked.
//
// The input is the archive file, kept in memory (a memfd) and opened by its /proc path like any
// other file. Besides the sanitizers' checks: no more than an entry's declared size reaches the
// sink, an entry unpacked without complaint has exactly its declared size and CRC-32, a located
// entry's data lies inside the file, and every failure has a status and a message, one that
// says "damaged" for damaged data and records.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "zip/crc32.h"
#include "zip/zip_directory.h"
#include "zip/zip_inflate.h"
#include "zip/zipped_file.h"

namespace {

// Entries may share their data, so a small input can hold many entries that each inflate a
// thousandfold; a few are enough to reach every path.
constexpr size_t kMaxEntriesUnpacked = 8;

// The in-memory file, made once and rewritten for each input.
int MemoryFile() {
  static const int fd = memfd_create("zip_fuzzer", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  return fd;
}

void CheckFailure(const tvl::ZipReport& report) {
  if (report.status == tvl::ZipStatus::kOk) std::abort();  // a failure must say what it was
  const std::string message = tvl::DescribeZipReport(report, "fuzz.zip");
  if (message.empty()) std::abort();
  if ((report.status == tvl::ZipStatus::kDamaged || report.status == tvl::ZipStatus::kMalformed) &&
      message.find("damaged") == std::string::npos) {
    std::abort();
  }
}

void Unpack(tvl::File& archive, uint64_t size, const tvl::ZipEntry& entry) {
  tvl::ZipReport report;
  if (!tvl::CheckZipEntry(entry, &report)) {
    CheckFailure(report);
    return;
  }
  uint64_t data_offset = 0;
  if (tvl::LocateZipData(archive, size, entry, &data_offset, &report)) {
    if (data_offset > size || entry.compressed_size > size - data_offset) std::abort();
  } else {
    CheckFailure(report);
  }
  uint64_t delivered = 0;
  uint32_t crc = 0;
  const tvl::ZipSink sink = [&](const uint8_t* data, size_t count, tvl::FileError*) {
    delivered += count;
    if (delivered > entry.size) std::abort();  // past the declared size
    crc = tvl::Crc32(crc, data, count);
    return true;
  };
  if (tvl::InflateZipEntry(archive, size, entry, sink, &report)) {
    if (delivered != entry.size || crc != entry.crc32) std::abort();
  } else {
    CheckFailure(report);
    // This sink never refuses: neither a write failure nor a stop can come back.
    if (report.status == tvl::ZipStatus::kStopped ||
        report.status == tvl::ZipStatus::kWriteFailed) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = MemoryFile();
  if (ftruncate(fd, 0) != 0) std::abort();
  for (size_t done = 0; done < size;) {
    const ssize_t put = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (put <= 0) std::abort();
    done += static_cast<size_t>(put);
  }
  tvl::File archive = tvl::File::OpenForRead("/proc/self/fd/" + std::to_string(fd));
  if (!archive.is_open()) std::abort();

  tvl::ZipDirectory directory;
  tvl::ZipReport report;
  if (!tvl::ReadZipDirectory(archive, size, &directory, &report)) {
    CheckFailure(report);
    return 0;
  }
  for (size_t i = 0; i < directory.entries.size() && i < kMaxEntriesUnpacked; ++i) {
    const tvl::ZipEntry& entry = directory.entries[i];
    tvl::IsWadEntry(entry);
    if (tvl::ZipEntryLabel("fuzz.zip", entry.name).empty()) std::abort();
    Unpack(archive, size, entry);
  }
  tvl::WadEntries(directory);
  return 0;
}
