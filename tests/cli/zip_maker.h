// Zip archives for the CLI's tests, made in memory after PKWARE's APPNOTE: stored or deflated
// entries, with no host tool, so the Windows test binaries make the same archives.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tvl::testing {

struct ZipMember {
  std::string name;
  std::span<const uint8_t> data;
  uint16_t method = 8;  // 0 stored, 8 deflate; another number is written with the data stored
  uint16_t flags = 0;
};

inline void PutLe(std::vector<uint8_t>* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Raw deflate (no zlib header), as zip entries hold it.
inline std::vector<uint8_t> RawDeflate(std::span<const uint8_t> data) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// The archive's bytes: local headers with their data, the central directory, the end record.
inline std::vector<uint8_t> MakeZip(const std::vector<ZipMember>& members) {
  std::vector<uint8_t> zip, directory;
  for (const ZipMember& member : members) {
    const std::vector<uint8_t> packed =
        member.method == 8 ? RawDeflate(member.data)
                           : std::vector<uint8_t>(member.data.begin(), member.data.end());
    const uint32_t crc =
        static_cast<uint32_t>(crc32(0, member.data.data(), static_cast<uInt>(member.data.size())));
    const uint64_t offset = zip.size();
    // The fields local and central headers share, from "version needed" to the name's length.
    auto common = [&](std::vector<uint8_t>* out) {
      PutLe(out, 20, 2);
      PutLe(out, member.flags, 2);
      PutLe(out, member.method, 2);
      PutLe(out, 0, 2);     // time
      PutLe(out, 0x21, 2);  // 1980-01-01
      PutLe(out, crc, 4);
      PutLe(out, packed.size(), 4);
      PutLe(out, member.data.size(), 4);
      PutLe(out, member.name.size(), 2);
    };
    PutLe(&zip, 0x04034b50, 4);
    common(&zip);
    PutLe(&zip, 0, 2);  // extra field
    zip.insert(zip.end(), member.name.begin(), member.name.end());
    zip.insert(zip.end(), packed.begin(), packed.end());

    PutLe(&directory, 0x02014b50, 4);
    PutLe(&directory, 20, 2);  // made by
    common(&directory);
    // Extra field, comment, disk, internal and external attributes.
    directory.insert(directory.end(), 2 + 2 + 2 + 2 + 4, 0);
    PutLe(&directory, offset, 4);
    directory.insert(directory.end(), member.name.begin(), member.name.end());
  }
  const uint64_t directory_offset = zip.size();
  zip.insert(zip.end(), directory.begin(), directory.end());
  PutLe(&zip, 0x06054b50, 4);
  PutLe(&zip, 0, 4);  // this disk, the directory's disk
  PutLe(&zip, members.size(), 2);
  PutLe(&zip, members.size(), 2);
  PutLe(&zip, directory.size(), 4);
  PutLe(&zip, directory_offset, 4);
  PutLe(&zip, 0, 2);  // comment
  return zip;
}

}  // namespace tvl::testing
