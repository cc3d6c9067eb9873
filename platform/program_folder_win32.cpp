#include <windows.h>

#include <string>

#include "platform/program_folder.h"

namespace tvl {

Path ProgramFolder() {
  // The path may exceed MAX_PATH; the call truncates silently, so grow until it fits. The system
  // caps paths at 32767 characters.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return Path(buffer).parent_path();
    }
    if (buffer.size() > 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace tvl
