#include "cli/commands.h"
#include "cli/patch_maker.h"
#include "platform/file_ops.h"

namespace tvl::cli {
namespace {

int RunMakePatch(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {"--source", "--target", "--output"});
  if (!parsed.error.empty()) return UsageError(kMakePatchCommand, parsed.error);
  const std::string* source_arg = parsed.Find("--source");
  const std::string* target_arg = parsed.Find("--target");
  const std::string* output_arg = parsed.Find("--output");
  if (!source_arg || !target_arg || !output_arg || !parsed.positional.empty()) {
    return UsageError(kMakePatchCommand, "needs --source SOURCE --target TARGET --output PATCH");
  }

  const Path source_path = PathFromArg(*source_arg), target_path = PathFromArg(*target_arg);
  std::vector<uint8_t> source, patch;
  FileError error = 0;
  if (!ReadWholeFile(source_path, &source, &error)) {
    PrintError("cannot read " + *source_arg + ": " + DescribeFileError(error));
    return kExitFailure;
  }
  // The matcher needs the whole source; the target is read a window at a time, twice.
  File target = File::OpenForRead(target_path, &error);
  if (!target.is_open()) {
    PrintError("cannot read " + *target_arg + ": " + DescribeFileError(error));
    return kExitFailure;
  }
  std::string problem;
  if (!MakeVerifiedPatch(source, target, *target_arg, PathToDisplay(source_path.filename()),
                         PathToDisplay(target_path.filename()), &patch, &problem)) {
    PrintError(problem);
    return kExitFailure;
  }
  if (!WriteWholeFile(PathFromArg(*output_arg), patch, &error)) {
    PrintError("cannot write " + *output_arg + ": " + DescribeFileError(error));
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

const Command kMakePatchCommand = {
    "make-patch", "make a VCDIFF patch from one file to another",
    "usage: tarvelline-cli make-patch --source SOURCE --target TARGET --output PATCH\n"
    "\n"
    "Writes the VCDIFF patch that rebuilds TARGET from SOURCE, in the form of the built-in\n"
    "patches (8 MiB windows, each with its Adler-32). The patch is decoded again and compared\n"
    "with TARGET before it is written; PATCH is never left half-written.\n",
    RunMakePatch};

}  // namespace tvl::cli
