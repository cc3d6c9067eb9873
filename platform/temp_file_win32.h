// How MakeTempFile names and creates temporary files on Windows, apart so that tests can choose
// the random part and make names collide.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/file.h"

namespace tvl {

// Names tried before giving up. Two draws of 64 random bits meet only when someone made the file
// on purpose; a few tries then show that nothing is wrong with the generator.
inline constexpr int kTempFileAttempts = 16;

// "Tarvelline-" + `random` as 16 lower-case hexadecimal digits + ".tmp".
std::wstring TempFileName(uint64_t random);

// 64 bits from the system's random number generator.
uint64_t SystemRandom64();

// Creates a new, empty file TempFileName(random()) in `folder`, never opening one that exists:
// while the name is taken, another is drawn, at most kTempFileAttempts in all. Returns the path
// in the form `folder` was given, whatever its length; an empty path on failure, with the reason
// (ERROR_FILE_EXISTS when every name was taken).
Path MakeTempFileFrom(const Path& folder, const std::function<uint64_t()>& random,
                      FileError* error);

}  // namespace tvl
