#include "catalogue/catalogue.h"
#include "cli/commands.h"

namespace tvl::cli {
namespace {

int RunList(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {}, {"--json"});
  if (!parsed.error.empty()) return UsageError(kListCommand, parsed.error);
  if (!parsed.positional.empty()) return UsageError(kListCommand, "takes no arguments");
  for (int i = 0; i < kIwadCount; ++i) {
    const IwadRecord& entry = GetIwad(i);
    PrintRecord(
        {NumberField("index", i), TextField("game_id", Narrow(entry.game_id)),
         TextField("version_id", Narrow(entry.version_id)), NumberField("flags", entry.flags),
         TextField("sha1", entry.sha1_hex), TextField("title", Narrow(entry.title))},
        RequestedFormat(parsed));
  }
  return kExitOk;
}

}  // namespace

const Command kListCommand = {
    "list", "print every known release",
    "usage: tarvelline-cli list [--json]\n"
    "\n"
    "Prints every catalogue entry in catalogue order, one a line:\n"
    "INDEX<TAB>GAME_ID<TAB>VERSION_ID<TAB>FLAGS<TAB>SHA1<TAB>TITLE\n"
    "FLAGS is 0, 1 (the game's base release) or 2 (identification only).\n"
    "\n"
    "  --json      print JSON Lines, keys index, game_id, version_id, flags, sha1, title\n",
    RunList};

}  // namespace tvl::cli
