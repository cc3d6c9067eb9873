#include <cstdio>

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/wad_inspect.h"
#include "cli/commands.h"

namespace tvl::cli {
namespace {

int RunIdentify(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {}, {"--explain"});
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
    std::string hex = FormatDigest(digest.bytes);
    int index = FindIwadByDigest(hex);
    if (index < 0) {
      std::string why;
      if (explain) why.append("\t").append(ExplainWad(InspectWadFile(PathFromArg(arg))));
      std::printf("-1\t%s\t-\tunknown\t%s%s\n", hex.c_str(), arg.c_str(), why.c_str());
      result = kExitFailure;
      continue;
    }
    const IwadRecord& entry = GetIwad(index);
    std::printf("%d\t%s\t%s\t%s\t%s%s\n", index, hex.c_str(),
                Narrow(FormatReleaseId(entry)).c_str(), Narrow(entry.title).c_str(), arg.c_str(),
                explain ? "\tknown release" : "");
  }
  return result;
}

}  // namespace

const Command kIdentifyCommand = {
    "identify", "tell which release each file is",
    "usage: tarvelline-cli identify [--explain] FILE...\n"
    "\n"
    "Prints one line per file: INDEX<TAB>SHA1<TAB>ID<TAB>TITLE<TAB>FILE.\n"
    "An unknown file prints -1<TAB>SHA1<TAB>-<TAB>unknown<TAB>FILE; a file that cannot be read\n"
    "is reported on stderr. Exits 0 when every file was identified, 1 otherwise.\n"
    "\n"
    "  --explain   add a last field saying what the file is, from its WAD header and\n"
    "              directory: \"known release\", \"not a WAD file\", \"PWAD (add-on) with ...\"\n",
    RunIdentify};

}  // namespace tvl::cli
