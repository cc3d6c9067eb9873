#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/routes.h"
#include "cli/commands.h"
#include "cli/zip_input.h"
#include "patches/patch_folder.h"

namespace tvl::cli {
namespace {

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::vector<std::string> RouteNames(const std::vector<std::u16string>& route) {
  std::vector<std::string> names;
  for (const std::u16string& name : route) names.push_back(Narrow(name));
  return names;
}

// "present" when every patch of the route is built in or in the folder.
RecordField Availability(const std::vector<std::u16string>& route, const Path& patch_folder) {
  if (route.empty()) return NoneField("patches");
  for (const std::u16string& name : route) {
    if (LocatePatch(name, patch_folder) == PatchOrigin::kMissing) {
      return TextField("patches", "missing");
    }
  }
  return TextField("patches", "present");
}

int RunTargets(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {"--release", "--patches", "--entry"}, {"--json"});
  if (!parsed.error.empty()) return UsageError(kTargetsCommand, parsed.error);
  const std::string* release = parsed.Find("--release");
  if ((release != nullptr) == (parsed.positional.size() == 1) || parsed.positional.size() > 1) {
    return UsageError(kTargetsCommand, "needs exactly one FILE or --release ID");
  }
  if (release && parsed.Has("--entry")) {
    return UsageError(kTargetsCommand, "--entry names a file inside a zip archive FILE");
  }
  Path patch_folder;
  if (!FindPatchFolder(parsed, &patch_folder)) return kExitFailure;

  int index;
  if (release) {
    index = FindIwadByReleaseId(Widen(*release));
    if (index < 0) {
      PrintError("unknown release id " + *release + " (see 'tarvelline-cli list')");
      return kExitFailure;
    }
  } else {
    const std::string& file = parsed.positional[0];
    bool archive = false;
    InputFile input;
    if (!ProbeInputFile(file, &archive) ||
        !OpenInputFile(file, archive, parsed.Find("--entry"), &input)) {
      return kExitFailure;
    }
    index = FindIwadByDigest(FormatDigest(input.digest.bytes));
    if (index < 0) {
      PrintError(input.label + " is not a known release");
      return kExitFailure;
    }
  }

  const IwadRecord& source = GetIwad(index);
  for (const TargetItem& item : BuildTargetList(source).items) {
    if (!item.item_data) continue;  // the placeholder line of a single-release game
    const IwadRecord& target = GetIwad(*item.item_data);
    const std::vector<std::u16string> route = FindPatchRoute(source, target);
    PrintRecord(
        {NumberField("index", *item.item_data), TextField("id", Narrow(FormatReleaseId(target))),
         TextField("title", Narrow(target.title)), ListField("route", RouteNames(route)),
         Availability(route, patch_folder)},
        RequestedFormat(parsed));
  }
  return kExitOk;
}

}  // namespace

const Command kTargetsCommand = {
    "targets", "list the releases a file or release can be converted to",
    "usage: tarvelline-cli targets FILE [--entry NAME] [--patches DIR] [--json]\n"
    "       tarvelline-cli targets --release ID [--patches DIR] [--json]\n"
    "\n"
    "Prints the other releases of the same game in catalogue order:\n"
    "INDEX<TAB>ID<TAB>TITLE<TAB>ROUTE<TAB>PATCHES, where ROUTE is the one or two patches of the\n"
    "conversion joined by ',', or '-' when either release is for identification only, and\n"
    "PATCHES is 'present' when every patch of the route is built in or found as\n"
    "<name>.vcdiff in DIR (without --patches: the 'patches' folder beside the program),\n"
    "'missing' when one is not, and '-' when there is no route.\n"
    "FILE may be a zip archive holding one WAD file, or several and --entry NAME naming one\n"
    "(its full name in the archive): it is unpacked into a temporary file to identify it.\n"
    "\n"
    "  --json      print JSON Lines, keys index, id, title, route (an array of patch\n"
    "              names, or null), patches\n",
    RunTargets};

}  // namespace tvl::cli
