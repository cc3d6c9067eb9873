#include "cli/commands.h"
#include "cli/identify_file.h"

namespace tvl::cli {
namespace {

int RunIdentify(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {}, {"--explain", "--json"});
  const bool explain = parsed.Has("--explain");
  if (!parsed.error.empty()) return UsageError(kIdentifyCommand, parsed.error);
  if (parsed.positional.empty()) return UsageError(kIdentifyCommand, "names no file");

  int result = kExitOk;
  for (const std::string& arg : parsed.positional) {
    std::vector<IdentifiedFile> files;
    std::string error;
    if (!IdentifyFile(PathFromArg(arg), arg, explain, &files, &error)) {
      PrintError(error);
      result = kExitFailure;
      continue;
    }
    if (files.empty()) {
      // Only an archive gives nothing: it was named to be identified, and holds no game file.
      PrintError(arg + ": no WAD file in this archive");
      result = kExitFailure;
    }
    for (const IdentifiedFile& file : files) {
      Record record = file.ToRecord();
      if (file.index < 0) result = kExitFailure;
      if (explain) record.push_back(TextField("explain", file.explanation));
      PrintRecord(record, RequestedFormat(parsed));
    }
  }
  return result;
}

}  // namespace

const Command kIdentifyCommand = {
    "identify", "tell which release each file is",
    "usage: tarvelline-cli identify [--explain] [--json] FILE...\n"
    "\n"
    "Prints one line per file: INDEX<TAB>SHA1<TAB>ID<TAB>TITLE<TAB>FILE.\n"
    "An unknown file prints -1<TAB>SHA1<TAB>-<TAB>unknown<TAB>FILE; a file that cannot be read\n"
    "is reported on stderr. Exits 0 when every file was identified, 1 otherwise.\n"
    "\n"
    "A zip archive (a FILE named *.zip, or starting as a zip does) prints one line per WAD\n"
    "file inside it (*.wad, *.iwad, *.ipk3; other entries are skipped), with FILE in the\n"
    "form ARCHIVE//ENTRY: the archive's path, \"//\", and the entry's full name in the archive.\n"
    "Each is unpacked into a temporary file, removed once identified. An archive that can't\n"
    "be read, or holds no WAD file, is reported on stderr, and nothing in a damaged one is\n"
    "identified. A FILE named *.ipk3 or *.pk3 is zipped game data, identified whole.\n"
    "\n"
    "  --explain   add a last field saying what the file is, from its WAD header and\n"
    "              directory: \"known release\", \"not a WAD file\", \"PWAD (add-on) with ...\"\n"
    "  --json      print JSON Lines, keys index, sha1, id, title, file, entry, explain; file\n"
    "              is the file or the archive, entry the name inside the archive or null\n",
    RunIdentify};

}  // namespace tvl::cli
