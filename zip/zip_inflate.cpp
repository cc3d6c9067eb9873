#include "zip/zip_inflate.h"

#include <zlib.h>

#include <algorithm>
#include <span>
#include <vector>

#include "zip/crc32.h"

namespace tvl {
namespace {

// Large enough that reads and sink calls cost little beside the inflating itself.
constexpr size_t kPiece = size_t{256} << 10;

bool Fail(ZipReport* report, const ZipEntry& entry, ZipStatus status, FileError error = 0) {
  report->status = status;
  report->file_error = error;
  report->entry = entry.name;
  return false;
}

// Reads the entry's compressed bytes a piece at a time, never past them.
class DataReader {
 public:
  DataReader(File& archive, uint64_t offset, uint64_t size)
      : archive_(archive), offset_(offset), left_(size), piece_(kPiece) {}

  // The next piece: empty at the end of the data. False when a read failed or the file ended
  // early (it shrank since the directory was read).
  bool Next(std::span<const uint8_t>* piece, FileError* error, bool* short_file) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left_, piece_.size()));
    size_t got = 0;
    while (got < want) {
      const int64_t read = archive_.ReadAt(offset_ + got, piece_.data() + got, want - got, error);
      if (read < 0) return false;
      if (read == 0) {
        *short_file = true;
        return false;
      }
      got += static_cast<size_t>(read);
    }
    offset_ += got;
    left_ -= got;
    *piece = std::span<const uint8_t>(piece_.data(), got);
    return true;
  }

 private:
  File& archive_;
  uint64_t offset_;
  uint64_t left_;
  std::vector<uint8_t> piece_;
};

// Hands data on, counting it and keeping its CRC-32; refuses more than the declared size.
struct Output {
  const ZipSink& sink;
  uint64_t declared;
  uint64_t written = 0;
  uint32_t crc = 0;

  // False for data past the declared size (nothing of it is passed on) or a sink that refused.
  bool Put(const uint8_t* data, size_t size, bool* overrun, FileError* error) {
    if (size > declared - written) {
      *overrun = true;
      return false;
    }
    crc = Crc32(crc, data, size);
    written += size;
    return size == 0 || sink(data, size, error);
  }
};

class Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }  // raw deflate
  ~Inflater() {
    if (ok_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ok() const { return ok_; }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

bool Copy(DataReader& reader, Output& output, const ZipEntry& entry, ZipReport* report) {
  for (;;) {
    std::span<const uint8_t> piece;
    FileError error = 0;
    bool short_file = false, overrun = false;
    if (!reader.Next(&piece, &error, &short_file)) {
      return Fail(report, entry, short_file ? ZipStatus::kDamaged : ZipStatus::kReadFailed, error);
    }
    if (piece.empty()) return true;
    if (!output.Put(piece.data(), piece.size(), &overrun, &error)) {
      return Fail(
          report, entry,
          overrun ? ZipStatus::kDamaged : (error ? ZipStatus::kWriteFailed : ZipStatus::kStopped),
          error);
    }
  }
}

bool Inflate(DataReader& reader, Output& output, const ZipEntry& entry, ZipReport* report) {
  Inflater inflater;
  if (!inflater.ok()) return Fail(report, entry, ZipStatus::kWriteFailed);
  z_stream* stream = inflater.get();
  std::vector<uint8_t> out(kPiece);
  for (;;) {
    FileError error = 0;
    bool short_file = false, overrun = false;
    if (stream->avail_in == 0) {
      std::span<const uint8_t> piece;
      if (!reader.Next(&piece, &error, &short_file)) {
        return Fail(report, entry, short_file ? ZipStatus::kDamaged : ZipStatus::kReadFailed,
                    error);
      }
      // The data ended before the deflate stream did.
      if (piece.empty()) return Fail(report, entry, ZipStatus::kDamaged);
      stream->next_in = const_cast<Bytef*>(piece.data());
      stream->avail_in = static_cast<uInt>(piece.size());
    }
    stream->next_out = out.data();
    stream->avail_out = static_cast<uInt>(out.size());
    const int result = inflate(stream, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
      return Fail(report, entry, ZipStatus::kDamaged);
    }
    const size_t produced = out.size() - stream->avail_out;
    if (!output.Put(out.data(), produced, &overrun, &error)) {
      return Fail(
          report, entry,
          overrun ? ZipStatus::kDamaged : (error ? ZipStatus::kWriteFailed : ZipStatus::kStopped),
          error);
    }
    if (result == Z_STREAM_END) return true;
  }
}

}  // namespace

bool InflateZipEntry(File& archive, uint64_t size, const ZipEntry& entry, const ZipSink& sink,
                     ZipReport* report) {
  if (!CheckZipEntry(entry, report)) return false;
  uint64_t offset = 0;
  if (!LocateZipData(archive, size, entry, &offset, report)) return false;
  DataReader reader(archive, offset, entry.compressed_size);
  Output output{sink, entry.size};
  const bool done = entry.method == kZipStored ? Copy(reader, output, entry, report)
                                               : Inflate(reader, output, entry, report);
  if (!done) return false;
  if (output.written != entry.size || output.crc != entry.crc32) {
    return Fail(report, entry, ZipStatus::kDamaged);
  }
  return true;
}

}  // namespace tvl
