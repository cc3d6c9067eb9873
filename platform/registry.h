// Read-only access to the Windows registry, for finding where launchers installed games. The
// reader is a record of function pointers so tests can hand in values of their own; on other
// systems the system's reader finds nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tvl {

enum class RegistryRoot { kCurrentUser, kLocalMachine };

struct RegistryReader {
  // The string value `name` of `key` (backslash-separated, below `root`), or false when the key
  // or the value is missing or is not a string. Under kLocalMachine, where 32-bit launchers
  // write to a view of their own, both views are searched, the 32-bit one first.
  bool (*read_string)(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                      std::u16string* value);
  // The names of the keys directly below `key`; empty when it is missing.
  std::vector<std::u16string> (*subkeys)(RegistryRoot root, std::u16string_view key);
};

// The system's registry.
RegistryReader SystemRegistry();

}  // namespace tvl
