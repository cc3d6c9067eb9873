// What a patch store provides: the embedded bytes behind the names of kPatchNames.
//
// Every program links exactly one store, an object library made by tvl_add_patch_store() from a
// folder of <name>.vcdiff files (patches/PatchStore.cmake): the product links the folder of real
// patches, tests link folders of synthetic ones.
#pragma once

#include <cstdint>

#include "patches/patch_names.h"

namespace tvl {

// One stream, [begin, end). Both null when <name>.vcdiff was absent at build time.
struct PatchBlob {
  const uint8_t* begin;
  const uint8_t* end;
};

// Parallel to kPatchNames.
extern const PatchBlob kPatchStore[kPatchCount];

}  // namespace tvl
