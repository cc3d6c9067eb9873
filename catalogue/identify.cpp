#include "catalogue/identify.h"

#include <memory>
#include <new>

#include "catalogue/catalogue.h"

namespace tvl {
namespace {

constexpr size_t kBufferAlignment = 4096;

struct AlignedDelete {
  void operator()(uint8_t* p) const { ::operator delete[](p, std::align_val_t{kBufferAlignment}); }
};

}  // namespace

FileDigest Sha1OfFile(const Path& path) {
  FileDigest result;
  File file = File::OpenForRead(path, &result.error);
  Sha1Context context;
  Sha1Init(&context);
  // A file that didn't open has the digest of no bytes, and keeps the open's own reason: a read
  // on it would only report that it isn't open.
  if (!file.is_open()) {
    Sha1Final(&context, result.bytes);
    return result;
  }
  // Page-aligned, so the system's copy into it runs at full speed.
  std::unique_ptr<uint8_t[], AlignedDelete> buffer(new (std::align_val_t{kBufferAlignment})
                                                       uint8_t[kIdentifyReadSize]);
  for (;;) {
    int64_t got = file.Read(buffer.get(), kIdentifyReadSize, &result.error);
    if (got < 0) break;
    Sha1Update(&context, buffer.get(), static_cast<size_t>(got));
    if (got == 0) {
      result.complete = true;
      result.error = 0;
      break;
    }
  }
  buffer.reset();
  file.Close();
  Sha1Final(&context, result.bytes);
  return result;
}

std::string FormatDigest(const uint8_t digest[kSha1DigestSize]) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(2 * kSha1DigestSize, '0');
  for (size_t i = 0; i < kSha1DigestSize; ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 15];
  }
  return text;
}

int IdentifyIwad(const Path& path) {
  FileDigest digest = Sha1OfFile(path);
  return FindIwadByDigest(FormatDigest(digest.bytes));
}

}  // namespace tvl
