// The commands tarvelline-cli knows, each defined in its own command_<name>.cpp.
#pragma once

#include <span>

#include "cli/cli.h"

namespace tvl::cli {

extern const Command kListCommand;
extern const Command kIdentifyCommand;
extern const Command kTargetsCommand;
extern const Command kApplyCommand;
extern const Command kConvertCommand;
extern const Command kMakePatchCommand;
extern const Command kBuildStoreCommand;
extern const Command kScanCommand;

// Every command, in the order --help lists them.
std::span<const Command* const> AllCommands();

}  // namespace tvl::cli
