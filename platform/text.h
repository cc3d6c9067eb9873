// Text conversions for messages and output. None of them can fail or throw: a name the system
// allows must never stop the program that prints it.
#pragma once

#include <string>
#include <string_view>

namespace tvl {

// UTF-16 to UTF-8. A surrogate that is not half of a pair (Windows file names may hold one)
// becomes U+FFFD, where the standard library's conversion would throw.
std::string Utf16ToUtf8(std::u16string_view text);

// Catalogue ids, titles and patch names are ASCII UTF-16; any other unit shows as '?'.
std::string Narrow(std::u16string_view text);

// A JSON string literal. Valid UTF-8 is kept; each byte that is not part of valid UTF-8 becomes
// \udc80 to \udcff (0xdc00 plus the byte), the lone surrogates Python's "surrogateescape" reads
// back as that byte.
std::string JsonString(std::string_view bytes);

}  // namespace tvl
