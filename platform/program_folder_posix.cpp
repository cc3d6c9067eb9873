#include <system_error>

#include "platform/program_folder.h"

namespace tvl {

Path ProgramFolder() {
  // Linux names the executable here even when it was started through a link or a relative path.
  std::error_code error;
  Path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || program.empty()) return {};
  return program.parent_path();
}

}  // namespace tvl
