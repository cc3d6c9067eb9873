#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/wad_inspect.h"
#include "cli/commands.h"
#include "cli/file_record.h"

namespace tvl::cli {
namespace {

int RunIdentify(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {}, {"--explain", "--json"});
  const bool explain = parsed.Has("--explain");
  if (!parsed.error.empty()) return UsageError(kIdentifyCommand, parsed.error);
  if (parsed.positional.empty()) return UsageError(kIdentifyCommand, "names no file");

  int result = kExitOk;
  for (const std::string& arg : parsed.positional) {
    FileDigest digest = Sha1OfFile(PathFromArg(arg));
    if (!digest.complete) {
      PrintError("cannot read " + arg + ": " + DescribeFileError(digest.error));
      result = kExitFailure;
      continue;
    }
    const std::string hex = FormatDigest(digest.bytes);
    const int index = FindIwadByDigest(hex);
    Record record = FileRecord(index, hex, arg);
    if (index < 0) result = kExitFailure;
    if (explain) {
      record.push_back(TextField(
          "explain", index < 0 ? ExplainWad(InspectWadFile(PathFromArg(arg))) : "known release"));
    }
    PrintRecord(record, RequestedFormat(parsed));
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
    "  --explain   add a last field saying what the file is, from its WAD header and\n"
    "              directory: \"known release\", \"not a WAD file\", \"PWAD (add-on) with ...\"\n"
    "  --json      print JSON Lines, keys index, sha1, id, title, file, explain\n",
    RunIdentify};

}  // namespace tvl::cli
