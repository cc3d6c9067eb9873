// Paths past the usual length limit on Windows. Most Win32 file calls refuse a path of MAX_PATH
// characters or more (CreateDirectoryW already at MAX_PATH - 12) unless the process is long-path
// aware on a system that allows it, or the path is in the extended-length form ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), which the system takes as it is. A program in a deep folder must
// not depend on the system's setting, so the Win32 half of the platform layer hands every path
// through Win32Path.
#pragma once

#include <string>

#include "platform/file.h"

namespace tvl {

// The form of `path` to give a Win32 file call: the path itself when its full form is short
// enough for every call (or when it already is an extended-length or device path), otherwise its
// full path in the extended-length form.
std::wstring Win32Path(const Path& path);

}  // namespace tvl
