#include "cli/commands.h"
#include "cli/scan.h"
#include "cli/scan_progress.h"

namespace tvl::cli {
namespace {

int RunScanCommand(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {}, {"--explain", "--json"});
  if (!parsed.error.empty()) return UsageError(kScanCommand, parsed.error);
  ScanRequest request;
  request.explain = parsed.Has("--explain");
  request.progress = StderrIsTerminal();
  request.format = RequestedFormat(parsed);
  if (parsed.positional.empty()) {
    request.roots = DefaultScanRoots(HostPlaceLookup());
  } else {
    request.named_roots = true;
    for (const std::string& arg : parsed.positional) {
      request.roots.push_back({PathFromArg(arg), "argument"});
    }
  }
  return RunScan(request);
}

}  // namespace

const Command kScanCommand = {
    "scan", "find and identify the game files in folders",
    "usage: tarvelline-cli scan [--explain] [--json] [FOLDER...]\n"
    "\n"
    "Walks each FOLDER, following links but never into a folder twice, and identifies every\n"
    "file named *.wad, *.iwad or *.ipk3 (in any case) or starting with a WAD header. Without\n"
    "folders, looks where games are installed: DOOMWADDIR, each folder of DOOMWADPATH, the\n"
    "games/doom data folders, Steam libraries, GOG, Bethesda.net, and source ports' Flatpak\n"
    "and Snap folders. Zip archives (*.zip) are looked into: each WAD file inside one is\n"
    "identified as identify does it, FILE being ARCHIVE//ENTRY; archives without WAD files\n"
    "are skipped.\n"
    "\n"
    "Prints one line per file, as identify does, with the rule that found it added:\n"
    "INDEX<TAB>SHA1<TAB>ID<TAB>TITLE<TAB>FILE<TAB>RULE. RULE is \"argument\" for the folders\n"
    "named, else DOOMWADDIR, DOOMWADPATH, user, system, steam, gog, bethesda, flatpak or snap;\n"
    "a file inside an archive has the archive's. Unreadable files, archives and folders are\n"
    "reported on stderr and skipped. Exits 0 when files were found and every one was\n"
    "identified, 1 otherwise.\n"
    "\n"
    "  --explain   add a last field saying what each file is, as identify --explain does\n"
    "  --json      print JSON Lines, keys index, sha1, id, title, file, entry, rule,\n"
    "              explain; entry is the name inside the archive file, or null\n",
    RunScanCommand};

}  // namespace tvl::cli
