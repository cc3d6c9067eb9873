// Systems without a registry: every look-up finds nothing.
#include "platform/registry.h"

namespace tvl {
namespace {

bool ReadNothing(RegistryRoot, std::u16string_view, std::u16string_view, std::u16string*) {
  return false;
}

std::vector<std::u16string> NoSubkeys(RegistryRoot, std::u16string_view) { return {}; }

}  // namespace

RegistryReader SystemRegistry() { return {ReadNothing, NoSubkeys}; }

}  // namespace tvl
