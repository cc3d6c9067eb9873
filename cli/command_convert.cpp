#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/routes.h"
#include "cli/commands.h"
#include "cli/zip_input.h"
#include "patching/convert.h"
#include "patching/leftovers.h"
#include "platform/file_ops.h"

namespace tvl::cli {
namespace {

std::string IdOf(const IwadRecord& record) { return Narrow(FormatReleaseId(record)); }

int RunConvert(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {"--to", "--output", "--patches", "--entry"}, {"--in-place"});
  if (!parsed.error.empty()) return UsageError(kConvertCommand, parsed.error);
  if (parsed.positional.size() != 1) return UsageError(kConvertCommand, "needs one INPUT file");
  const std::string* to = parsed.Find("--to");
  if (!to) return UsageError(kConvertCommand, "needs --to ID");
  const std::string* output = parsed.Find("--output");
  const bool in_place = parsed.Has("--in-place");
  if ((output != nullptr) == in_place) {
    return UsageError(kConvertCommand, "needs either --output OUTPUT or --in-place");
  }

  Path patch_folder;
  if (!FindPatchFolder(parsed, &patch_folder)) return kExitFailure;

  const std::string& input_arg = parsed.positional[0];
  const int target = FindIwadByReleaseId(std::u16string(to->begin(), to->end()));
  if (target < 0) {
    PrintError("unknown release id " + *to + " (see 'tarvelline-cli list')");
    return kExitFailure;
  }
  bool archive = false;
  if (!ProbeInputFile(input_arg, &archive)) return kExitFailure;
  // The archive is never written: the result is a plain WAD file beside it or elsewhere.
  if (archive && (in_place || SameFile(PathFromArg(input_arg), PathFromArg(*output)))) {
    PrintError(input_arg + ": can't convert inside a zip archive; use --output" +
               (in_place ? "" : " with another path"));
    return kExitFailure;
  }
  InputFile input;
  if (!OpenInputFile(input_arg, archive, parsed.Find("--entry"), &input)) return kExitFailure;
  const std::string& label = input.label;
  const int source = FindIwadByDigest(FormatDigest(input.digest.bytes));
  if (source < 0) {
    PrintError(label + " is not a known release");
    return kExitFailure;
  }

  const IwadRecord& from = GetIwad(source);
  const IwadRecord& into = GetIwad(target);
  if (source == target) {
    PrintError(label + " already is " + *to);
    return kExitFailure;
  }
  if (std::u16string_view(from.game_id) != into.game_id) {
    PrintError(label + " is " + IdOf(from) + ", a release of another game than " + *to);
    return kExitFailure;
  }
  if (!CanPatch(from, into)) {
    const IwadRecord& blocked = (from.flags & kIwadNoPatch) ? from : into;
    PrintError(IdOf(blocked) + " is known for identification only and cannot be converted");
    return kExitFailure;
  }

  ConvertRequest request;
  request.input = input.path;
  request.source = source;
  request.target = target;
  request.output = in_place ? input.path : PathFromArg(*output);
  request.temp_folder = TempFolder();
  request.patch_folder = patch_folder;
  // What a killed run left beside the output goes first; what may be the only copy of a file
  // stays, and is named.
  for (const KeptFile& kept : CleanUpLeftovers(FolderOf(request.output)).kept) {
    const std::string what = kept.release >= 0 ? Narrow(GetIwad(kept.release).title)
                                               : "the file that was " + PathToDisplay(kept.origin);
    PrintError(kept.restored ? "a conversion that was cut short had left " + what +
                                   "; it is back at " + PathToDisplay(kept.file)
                             : "a conversion that was cut short had left " + what + " at " +
                                   PathToDisplay(kept.file));
  }
  ConvertReport report = ConvertRelease(request);
  if (report.status != ConvertStatus::kConverted) {
    // The user knows an unpacked entry by its place in the archive, not by its temporary name.
    if (input.zipped && report.step_input == input.path) report.step_input = PathFromArg(label);
    PrintError(DescribeConvertFailure(report, request));
    return kExitFailure;
  }
  PrintRecord({TextField("source", IdOf(from)), TextField("target", IdOf(into)),
               TextField("output", PathToDisplay(request.output))},
              RecordFormat::kTab);
  return kExitOk;
}

}  // namespace

const Command kConvertCommand = {
    "convert", "convert a release into another release of its game",
    "usage: tarvelline-cli convert INPUT --to ID (--output OUTPUT | --in-place) [--patches DIR]\n"
    "       tarvelline-cli convert ARCHIVE [--entry NAME] --to ID --output OUTPUT [--patches DIR]\n"
    "\n"
    "Identifies INPUT, converts it with the built-in patches (one, or two through the game's\n"
    "base release) and checks the result against the target's digest before it is put in\n"
    "place. With --in-place the result replaces INPUT only once it is complete and verified.\n"
    "A patch that is not built in is read from DIR/<name>.vcdiff, or without --patches from\n"
    "the 'patches' folder beside the program; a built-in patch wins over a file.\n"
    "A failed conversion leaves INPUT untouched and OUTPUT as it was, or absent.\n"
    "ARCHIVE is a zip archive holding the release (named *.zip, or starting as a zip does):\n"
    "its one WAD file, or the entry NAME (its full name in the archive) when it holds\n"
    "several, is unpacked into a temporary file and converted from there into a plain WAD\n"
    "file at OUTPUT. The archive itself is never changed: --in-place is refused for it.\n"
    "Prints SOURCE_ID<TAB>TARGET_ID<TAB>OUTPUT on success.\n",
    RunConvert};

}  // namespace tvl::cli
