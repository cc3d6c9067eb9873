// Identification: which catalogue release a file is, by the SHA-1 of its whole content.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/sha1.h"
#include "platform/file.h"

namespace tvl {

#ifdef __EMSCRIPTEN__
// In the browser every read is a call out to JavaScript, which costs far more than a system
// call: fewer, larger reads.
inline constexpr size_t kIdentifyReadSize = 1 << 20;
#else
inline constexpr size_t kIdentifyReadSize = 8192;
#endif

struct FileDigest {
  uint8_t bytes[kSha1DigestSize] = {};
  bool complete = false;  // false when the file could not be opened or a read failed
  FileError error = 0;    // the failure, when not complete
};

// Hashes the file in reads of kIdentifyReadSize until a read of zero bytes or a failed read. After
// a failure the digest covers the bytes read before it (none if the open failed).
FileDigest Sha1OfFile(const Path& path);

// The digest as 40 lowercase hexadecimal digits.
std::string FormatDigest(const uint8_t digest[kSha1DigestSize]);

// The catalogue index of the file's release, or -1 for an unknown, missing, locked or unreadable
// file: identification reports nothing else.
int IdentifyIwad(const Path& path);

}  // namespace tvl
