#include <cstdint>
#include <string>

#include "cli/commands.h"
#include "patching/apply_replacing.h"
#include "platform/file_ops.h"

namespace tvl::cli {
namespace {

// Large enough for any patch in one piece; small enough that the piece buffer stays allocatable.
constexpr uint64_t kMaxPieceSize = uint64_t{1} << 30;

bool ParsePieceSize(const std::string& text, size_t* size) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value < 1 || value > kMaxPieceSize) return false;
  *size = static_cast<size_t>(value);
  return true;
}

int RunApply(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {"--patch", "--source", "--output", "--piece-size"});
  if (!parsed.error.empty()) return UsageError(kApplyCommand, parsed.error);
  if (!parsed.positional.empty()) {
    return UsageError(kApplyCommand, "unexpected argument " + parsed.positional[0]);
  }
  const std::string* patch = parsed.Find("--patch");
  const std::string* source = parsed.Find("--source");
  const std::string* output = parsed.Find("--output");
  if (!patch || !source || !output) {
    return UsageError(kApplyCommand, "needs --patch, --source and --output");
  }
  size_t piece_size = kPatchPieceSize;
  if (const std::string* piece = parsed.Find("--piece-size");
      piece && !ParsePieceSize(*piece, &piece_size)) {
    return UsageError(kApplyCommand, "--piece-size takes a whole number from 1 to 1073741824");
  }

  // The patch and the source are opened before anything is written; the result replaces OUTPUT
  // only once it is whole, so a failed run never costs an existing file.
  const Path source_path = PathFromArg(*source);
  const Path output_path = PathFromArg(*output);
  ApplyError error;
  if (!ApplyPatchFileReplacing(source_path, PathFromArg(*patch), output_path, piece_size, &error)) {
    PrintError(DescribeApplyError(error, source_path, *patch, output_path));
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

const Command kApplyCommand = {
    "apply", "rebuild a file from a source file and a VCDIFF patch",
    "usage: tarvelline-cli apply --patch PATCH --source SOURCE --output OUTPUT [--piece-size N]\n"
    "\n"
    "Decodes the VCDIFF file PATCH against SOURCE and writes the result to OUTPUT, window by\n"
    "window, exactly as built-in patches are applied. The patch goes to the decoder in pieces\n"
    "of N bytes (default 4096); every N gives the same output.\n"
    "Prints nothing and exits 0 on success. On failure prints one line, the decoder's reason\n"
    "(for example \"target window checksum mismatch\" or \"eof in decode\") or the file that\n"
    "could not be opened, and exits 1.\n"
    "The result is written beside OUTPUT and replaces it only once the whole patch has\n"
    "applied: a failed run leaves OUTPUT as it was, or absent, and no temporary file.\n",
    RunApply};

}  // namespace tvl::cli
