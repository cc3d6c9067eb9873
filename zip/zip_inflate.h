// Unpacking one entry of a zip archive with zlib, as the native programs do (the page inflates
// through the browser instead, with the same checks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "zip/zip_directory.h"

namespace tvl {

// Takes each piece of unpacked data in order; returning false stops the unpacking with
// kWriteFailed (set `*error` to say why) or, when it leaves `*error` at 0, kStopped.
using ZipSink = std::function<bool(const uint8_t* data, size_t size, FileError* error)>;

// Unpacks `entry` of `archive` (an open file of `size` bytes) into `sink`. It checks the entry
// first (CheckZipEntry) and finds its data (LocateZipData); it stops at the entry's declared
// size, so no more than that reaches the sink, and it fails with kDamaged when the data inflates
// past it, ends short of it, doesn't inflate, or its CRC-32 doesn't match. On failure the sink
// may have taken part of the data: whoever wrote it throws it away.
bool InflateZipEntry(File& archive, uint64_t size, const ZipEntry& entry, const ZipSink& sink,
                     ZipReport* report);

}  // namespace tvl
