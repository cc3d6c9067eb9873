// Paths as UTF-8 text for output, from any name the system can hold.
#pragma once

#include <string>

#include "platform/file.h"

namespace tvl::cli {

// The path in UTF-8. Windows names are UTF-16 that need not be valid (a lone surrogate is a
// legal file name there); such units become U+FFFD instead of failing the conversion. POSIX
// names are given back byte for byte, as the system holds them.
std::string PathText(const Path& path);

}  // namespace tvl::cli
