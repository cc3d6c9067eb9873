// tarvelline-cli.1, made at build time from the texts --help prints, so the manual page and the
// program's own help can't say different things.
#pragma once

#include <string>
#include <string_view>

namespace tvl::cli {

// The page in roff (man macros). `date` (YYYY-MM-DD) and `version` go into its title line.
std::string RenderManPage(std::string_view date, std::string_view version);

}  // namespace tvl::cli
