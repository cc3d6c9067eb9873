// Names in zip archives that don't say they are UTF-8 are in the IBM PC's code page 437.
#pragma once

#include <string>
#include <string_view>

namespace tvl {

// The CP437 text as UTF-8. Every byte maps to one character, so this never fails.
std::string Cp437ToUtf8(std::string_view text);

}  // namespace tvl
