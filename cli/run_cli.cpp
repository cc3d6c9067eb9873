#include <cstdio>
#include <cstring>

#include "catalogue/catalogue.h"
#include "cli/commands.h"
#include "cli/help_text.h"
#include "tvl_version.h"

namespace tvl::cli {
namespace {

const Command* const kCommands[] = {
    &kListCommand,  &kIdentifyCommand,  &kTargetsCommand,    &kConvertCommand,
    &kApplyCommand, &kMakePatchCommand, &kBuildStoreCommand, &kScanCommand,
};

}  // namespace

std::span<const Command* const> AllCommands() { return kCommands; }

int RunCli(const Args& args) {
  if (args.empty()) {
    std::fprintf(stderr, "tarvelline-cli: no command given (try 'tarvelline-cli --help')\n");
    return kExitUsage;
  }
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    std::fputs(ProgramHelp().c_str(), stdout);
    return kExitOk;
  }
  if (name == "--version") {
    std::printf("tarvelline-cli " TVL_VERSION_SHORT "\n");
    return kExitOk;
  }
  for (const Command* command : kCommands) {
    if (name != command->name) continue;
    Args rest(args.begin() + 1, args.end());
    if (WantsHelp(rest)) {
      std::fputs(command->usage, stdout);
      return kExitOk;
    }
    InitIwadCatalogue();
    return command->run(rest);
  }
  std::fprintf(stderr, "tarvelline-cli: unknown command '%s' (try 'tarvelline-cli --help')\n",
               name.c_str());
  return kExitUsage;
}

}  // namespace tvl::cli
