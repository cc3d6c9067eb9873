// The names of the built-in patches, "<game>_<version>_to_<game>_<version>".
#pragma once

#include <cstddef>

namespace tvl {

// 68 releases that each have a patch to and from their game's base release.
inline constexpr size_t kPatchCount = 136;

// Every patch name in the order FindPatch compares them. A name is listed whether or not its
// stream was present when the program was built.
extern const char16_t* const kPatchNames[kPatchCount];

}  // namespace tvl
