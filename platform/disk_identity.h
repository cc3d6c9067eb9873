// Which file or folder a path leads to, as the disk knows it: links, junctions, mounts and
// other spellings of one path all lead to the same identity. For noticing a folder seen before.
#pragma once

#include <compare>
#include <cstdint>

#include "platform/file.h"

namespace tvl {

struct DiskIdentity {
  uint64_t device = 0;  // the volume
  uint64_t index = 0;   // the file on it
  auto operator<=>(const DiskIdentity&) const = default;
};

// The identity of what `path` leads to, following links. False when the system cannot tell,
// for instance for a path that does not exist.
bool GetDiskIdentity(const Path& path, DiskIdentity* identity);

}  // namespace tvl
