#include <cstdio>

#include "catalogue/catalogue.h"
#include "cli/commands.h"

namespace tvl::cli {
namespace {

int RunList(const Args& args) {
  if (!args.empty()) return UsageError(kListCommand, "takes no arguments");
  for (int i = 0; i < kIwadCount; ++i) {
    const IwadRecord& entry = GetIwad(i);
    std::printf("%d\t%s\t%s\t%d\t%s\t%s\n", i, Narrow(entry.game_id).c_str(),
                Narrow(entry.version_id).c_str(), static_cast<int>(entry.flags), entry.sha1_hex,
                Narrow(entry.title).c_str());
  }
  return kExitOk;
}

}  // namespace

const Command kListCommand = {
    "list", "print every known release",
    "usage: tarvelline-cli list\n"
    "\n"
    "Prints every catalogue entry in catalogue order, one a line:\n"
    "INDEX<TAB>GAME_ID<TAB>VERSION_ID<TAB>FLAGS<TAB>SHA1<TAB>TITLE\n"
    "FLAGS is 0, 1 (the game's base release) or 2 (identification only).\n",
    RunList};

}  // namespace tvl::cli
