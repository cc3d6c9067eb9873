// The bash completion for tarvelline-cli, made at build time from the commands' usage lines, so
// a new command or option completes without anyone editing a script. Release ids are asked of
// the program itself ('list') as the user types.
#pragma once

#include <string>

namespace tvl::cli {

std::string RenderBashCompletion();

}  // namespace tvl::cli
