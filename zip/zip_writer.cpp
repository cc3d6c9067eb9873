#include "zip/zip_writer.h"

#include <zlib.h>

#include <limits>

#include "zip/crc32.h"

namespace tvl {
namespace {

constexpr uint16_t kVersion = 20;          // 2.0: deflate
constexpr uint16_t kDosDate = 1 << 5 | 1;  // 1980-01-01, the first day a zip can name
constexpr uint16_t kFlagUtf8 = 1 << 11;

void Put16(std::vector<uint8_t>* out, uint32_t value) {
  out->push_back(static_cast<uint8_t>(value));
  out->push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

bool IsAscii(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Raw deflate at the highest level, whole in one call.
bool Deflate(std::span<const uint8_t> data, std::vector<uint8_t>* out) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    return false;
  }
  out->resize(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out->data();
  stream.avail_out = static_cast<uInt>(out->size());
  const int result = deflate(&stream, Z_FINISH);
  out->resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END;
}

}  // namespace

bool ZipWriter::Add(const std::string& name, std::span<const uint8_t> data) {
  constexpr uint64_t kLimit = std::numeric_limits<uint32_t>::max();
  if (entries_.size() >= 0xFFFF || name.size() > 0xFFFF || data.size() > kLimit / 2) return false;
  std::vector<uint8_t> packed;
  if (!Deflate(data, &packed)) return false;
  if (bytes_.size() + 30 + name.size() + packed.size() > kLimit) return false;
  const Written entry{name, Crc32(0, data.data(), data.size()),
                      static_cast<uint32_t>(packed.size()), static_cast<uint32_t>(data.size()),
                      static_cast<uint32_t>(bytes_.size())};
  Put32(&bytes_, 0x04034b50);
  Put16(&bytes_, kVersion);
  Put16(&bytes_, IsAscii(name) ? 0 : kFlagUtf8);
  Put16(&bytes_, 8);  // deflate
  Put16(&bytes_, 0);  // time: midnight
  Put16(&bytes_, kDosDate);
  Put32(&bytes_, entry.crc32);
  Put32(&bytes_, entry.compressed_size);
  Put32(&bytes_, entry.size);
  Put16(&bytes_, static_cast<uint32_t>(name.size()));
  Put16(&bytes_, 0);  // no extra fields
  bytes_.insert(bytes_.end(), name.begin(), name.end());
  bytes_.insert(bytes_.end(), packed.begin(), packed.end());
  entries_.push_back(entry);
  return true;
}

std::vector<uint8_t> ZipWriter::Finish() const {
  std::vector<uint8_t> out = bytes_;
  const uint32_t directory_at = static_cast<uint32_t>(out.size());
  for (const Written& entry : entries_) {
    Put32(&out, 0x02014b50);
    Put16(&out, kVersion);  // made by: MS-DOS, so no Unix permissions are implied
    Put16(&out, kVersion);
    Put16(&out, IsAscii(entry.name) ? 0 : kFlagUtf8);
    Put16(&out, 8);
    Put16(&out, 0);
    Put16(&out, kDosDate);
    Put32(&out, entry.crc32);
    Put32(&out, entry.compressed_size);
    Put32(&out, entry.size);
    Put16(&out, static_cast<uint32_t>(entry.name.size()));
    Put16(&out, 0);  // extra
    Put16(&out, 0);  // comment
    Put16(&out, 0);  // disk
    Put16(&out, 0);  // internal attributes
    Put32(&out, 0);  // external attributes
    Put32(&out, entry.header_offset);
    out.insert(out.end(), entry.name.begin(), entry.name.end());
  }
  const uint32_t directory_size = static_cast<uint32_t>(out.size()) - directory_at;
  Put32(&out, 0x06054b50);
  Put16(&out, 0);
  Put16(&out, 0);
  Put16(&out, static_cast<uint32_t>(entries_.size()));
  Put16(&out, static_cast<uint32_t>(entries_.size()));
  Put32(&out, directory_size);
  Put32(&out, directory_at);
  Put16(&out, 0);  // no comment
  return out;
}

}  // namespace tvl
