// The system's error numbers and texts the tests expect, on either platform. Windows texts come
// from the system's message table, so they are taken from DescribeFileError for the number.
#pragma once

#include <string>

#include "platform/file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace tvl::testing {

#ifdef _WIN32
inline constexpr FileError kNotFound = ERROR_FILE_NOT_FOUND;
inline constexpr FileError kDenied = ERROR_ACCESS_DENIED;
inline constexpr FileError kIoError = ERROR_READ_FAULT;
inline constexpr FileError kDiskFull = ERROR_DISK_FULL;
inline std::string NotFoundText() { return DescribeFileError(kNotFound); }
inline std::string DeniedText() { return DescribeFileError(kDenied); }
inline std::string DiskFullText() { return DescribeFileError(kDiskFull); }
inline std::string IoErrorText() { return DescribeFileError(kIoError); }
#else
inline constexpr FileError kNotFound = ENOENT;
inline constexpr FileError kDenied = EACCES;
inline constexpr FileError kIoError = EIO;
inline constexpr FileError kDiskFull = ENOSPC;
inline std::string NotFoundText() { return "No such file or directory"; }
inline std::string DeniedText() { return "Permission denied"; }
inline std::string DiskFullText() { return "No space left on device"; }
inline std::string IoErrorText() { return "Input/output error"; }
#endif

}  // namespace tvl::testing
