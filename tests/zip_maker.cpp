#include "tests/zip_maker.h"

#include <zlib.h>

#include "tests/test_files.h"

namespace tvl::testing {
namespace {

constexpr size_t kLocalHeaderSize = 30;
constexpr uint16_t kUtf8Flag = 1 << 11;

void Put(std::vector<uint8_t>* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Raw deflate, without zlib's header, as zip entries hold it.
std::vector<uint8_t> Deflate(std::span<const uint8_t> data) {
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

uint16_t FlagsOf(const std::string& name) {
  for (unsigned char c : name) {
    if (c >= 0x80) return kUtf8Flag;
  }
  return 0;
}

}  // namespace

std::vector<uint8_t> MakeTestZip(const std::vector<TestZipEntry>& entries) {
  std::vector<uint8_t> zip, directory;
  for (const TestZipEntry& entry : entries) {
    const std::vector<uint8_t> packed =
        entry.deflate ? Deflate(entry.data)
                      : std::vector<uint8_t>(entry.data.begin(), entry.data.end());
    const uint32_t crc =
        static_cast<uint32_t>(crc32(0, entry.data.data(), static_cast<uInt>(entry.data.size())));
    const uint64_t offset = zip.size();
    // The fields both headers hold, from the version needed to the name's length.
    auto common = [&](std::vector<uint8_t>* out) {
      Put(out, 20, 2);
      Put(out, FlagsOf(entry.name) | entry.flags, 2);
      Put(out, entry.method.value_or(entry.deflate ? 8 : 0), 2);
      Put(out, 0, 2);     // time
      Put(out, 0x21, 2);  // 1980-01-01
      Put(out, crc, 4);
      Put(out, packed.size(), 4);
      Put(out, entry.declared_size.value_or(entry.data.size()), 4);
      Put(out, entry.name.size(), 2);
    };
    Put(&zip, 0x04034b50, 4);
    common(&zip);
    Put(&zip, 0, 2);  // extra field
    zip.insert(zip.end(), entry.name.begin(), entry.name.end());
    zip.insert(zip.end(), packed.begin(), packed.end());

    Put(&directory, 0x02014b50, 4);
    Put(&directory, 20, 2);  // made by
    common(&directory);
    Put(&directory, 0, 2);  // extra field
    Put(&directory, 0, 2);  // comment
    Put(&directory, 0, 2);  // disk
    Put(&directory, 0, 2);  // internal attributes
    Put(&directory, 0, 4);  // external attributes
    Put(&directory, offset, 4);
    directory.insert(directory.end(), entry.name.begin(), entry.name.end());
  }
  const uint64_t directory_offset = zip.size();
  zip.insert(zip.end(), directory.begin(), directory.end());
  Put(&zip, 0x06054b50, 4);
  Put(&zip, 0, 2);  // this disk
  Put(&zip, 0, 2);  // the directory's disk
  Put(&zip, entries.size(), 2);
  Put(&zip, entries.size(), 2);
  Put(&zip, directory.size(), 4);
  Put(&zip, directory_offset, 4);
  Put(&zip, 0, 2);  // comment
  return zip;
}

size_t FirstEntryDataOffset(const std::vector<TestZipEntry>& entries) {
  return entries.empty() ? 0 : kLocalHeaderSize + entries.front().name.size();
}

Path WriteTestZip(const Path& path, const std::vector<TestZipEntry>& entries) {
  WriteFileBytes(path, MakeTestZip(entries));
  return path;
}

}  // namespace tvl::testing
