// Writing a zip archive, for the patch packs build-store makes: every entry deflated, no time
// stamps and no machine's details, so the same entries in the same order give the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tvl {

class ZipWriter {
 public:
  // Deflates `data` as the next entry, named `name` (ASCII or UTF-8). False when the archive
  // would pass what a zip without Zip64 records can hold (4 GiB, 65535 entries).
  bool Add(const std::string& name, std::span<const uint8_t> data);

  // The whole archive: the entries, the central directory and its end record.
  std::vector<uint8_t> Finish() const;

 private:
  struct Written {
    std::string name;
    uint32_t crc32, compressed_size, size, header_offset;
  };
  std::vector<uint8_t> bytes_;  // the local headers and data so far
  std::vector<Written> entries_;
};

}  // namespace tvl
