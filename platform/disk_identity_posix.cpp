#include <sys/stat.h>

#include "platform/disk_identity.h"

namespace tvl {

bool GetDiskIdentity(const Path& path, DiskIdentity* identity) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) return false;
  identity->device = static_cast<uint64_t>(status.st_dev);
  identity->index = static_cast<uint64_t>(status.st_ino);
  return true;
}

}  // namespace tvl
