#include "platform/temp_file_win32.h"

#include <windows.h>

#include <bcrypt.h>

#include "platform/long_path_win32.h"

namespace tvl {

std::wstring TempFileName(uint64_t random) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = L"Tarvelline-";
  for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(random >> shift) & 0xf];
  return name + L".tmp";
}

uint64_t SystemRandom64() {
  uint64_t value = 0;
  if (BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<unsigned char*>(&value),
                                     sizeof value, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    return value;
  }
  // Without the generator, names still differ between calls and processes; CREATE_NEW keeps a
  // guessed name from ever opening someone else's file.
  static uint64_t counter = 0;
  LARGE_INTEGER ticks = {};
  QueryPerformanceCounter(&ticks);
  return (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^
         static_cast<uint64_t>(ticks.QuadPart) ^ (++counter * 0x9e3779b97f4a7c15u);
}

Path MakeTempFileFrom(const Path& folder, const std::function<uint64_t()>& random,
                      FileError* error) {
  DWORD last = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kTempFileAttempts; ++attempt) {
    Path path = folder / TempFileName(random());
    HANDLE file = CreateFileW(Win32Path(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return path;
    }
    last = GetLastError();
    // Any other failure (no such folder, no access) would meet every name alike.
    if (last != ERROR_FILE_EXISTS && last != ERROR_ALREADY_EXISTS) break;
  }
  if (error) *error = last;
  return {};
}

}  // namespace tvl
