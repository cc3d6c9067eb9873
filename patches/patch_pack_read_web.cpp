// The page unpacks a pack with the browser's own inflater before the core sees its patches, so
// the core in the browser never reads a pack itself.
#include "patches/patch_pack.h"

namespace tvl {

FolderPatchStatus ReadPackPatch(const Path&, const std::string&, std::vector<uint8_t>* bytes,
                                FileError*) {
  bytes->clear();
  return FolderPatchStatus::kUnreadable;
}

}  // namespace tvl
