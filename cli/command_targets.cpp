#include <cstdio>

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/routes.h"
#include "cli/commands.h"
#include "patches/patch_folder.h"

namespace tvl::cli {
namespace {

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string JoinRoute(const std::vector<std::u16string>& route) {
  if (route.empty()) return "-";
  std::string joined;
  for (const std::u16string& name : route) {
    if (!joined.empty()) joined += ',';
    joined += Narrow(name);
  }
  return joined;
}

// "present" when every patch of the route is built in or in the folder.
std::string Availability(const std::vector<std::u16string>& route, const Path& patch_folder) {
  if (route.empty()) return "-";
  for (const std::u16string& name : route) {
    if (LocatePatch(name, patch_folder) == PatchOrigin::kMissing) return "missing";
  }
  return "present";
}

int RunTargets(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {"--release", "--patches"});
  if (!parsed.error.empty()) return UsageError(kTargetsCommand, parsed.error);
  const std::string* release = parsed.Find("--release");
  if ((release != nullptr) == (parsed.positional.size() == 1) || parsed.positional.size() > 1) {
    return UsageError(kTargetsCommand, "needs exactly one FILE or --release ID");
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
    FileDigest digest = Sha1OfFile(PathFromArg(file));
    if (!digest.complete) {
      PrintError("cannot read " + file + ": " + DescribeFileError(digest.error));
      return kExitFailure;
    }
    index = FindIwadByDigest(FormatDigest(digest.bytes));
    if (index < 0) {
      PrintError(file + " is not a known release");
      return kExitFailure;
    }
  }

  const IwadRecord& source = GetIwad(index);
  for (const TargetItem& item : BuildTargetList(source).items) {
    if (!item.item_data) continue;  // the placeholder line of a single-release game
    const IwadRecord& target = GetIwad(*item.item_data);
    const std::vector<std::u16string> route = FindPatchRoute(source, target);
    std::printf("%d\t%s\t%s\t%s\t%s\n", *item.item_data, Narrow(FormatReleaseId(target)).c_str(),
                Narrow(target.title).c_str(), JoinRoute(route).c_str(),
                Availability(route, patch_folder).c_str());
  }
  return kExitOk;
}

}  // namespace

const Command kTargetsCommand = {
    "targets", "list the releases a file or release can be converted to",
    "usage: tarvelline-cli targets FILE [--patches DIR]\n"
    "       tarvelline-cli targets --release ID [--patches DIR]\n"
    "\n"
    "Prints the other releases of the same game in catalogue order:\n"
    "INDEX<TAB>ID<TAB>TITLE<TAB>ROUTE<TAB>PATCHES, where ROUTE is the one or two patches of the\n"
    "conversion joined by ',', or '-' when either release is for identification only, and\n"
    "PATCHES is 'present' when every patch of the route is built in or found as\n"
    "<name>.vcdiff in DIR (without --patches: the 'patches' folder beside the program),\n"
    "'missing' when one is not, and '-' when there is no route.\n",
    RunTargets};

}  // namespace tvl::cli
