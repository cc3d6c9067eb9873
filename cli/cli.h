// Shared pieces of tarvelline-cli: the command record, exit codes and text helpers.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/record.h"
#include "platform/file.h"
#include "platform/text.h"  // Narrow, for catalogue and patch texts in output

namespace tvl::cli {

enum ExitCode : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Arguments after the command name, in UTF-8 on every platform.
using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* summary;  // one line for the program's --help
  const char* usage;    // the command's --help text
  int (*run)(const Args& args);
};

// Options of the form "--name VALUE" (or "--name=VALUE") and bare flags, apart from the
// positional arguments. `error` is set for an unknown option or a missing value.
struct ParsedArgs {
  std::vector<std::pair<std::string, std::string>> options;  // in command-line order
  std::vector<std::string> positional;
  std::string error;

  // The last value given for `name`, or null.
  const std::string* Find(std::string_view name) const;
  bool Has(std::string_view name) const { return Find(name) != nullptr; }
};
ParsedArgs ParseArgs(const Args& args, std::initializer_list<std::string_view> value_options,
                     std::initializer_list<std::string_view> flag_options = {});

// Prints "tarvelline-cli: <message>" and a hint to stderr; returns kExitUsage.
int UsageError(const Command& command, std::string_view message);
// Prints "tarvelline-cli: <message>" to stderr.
void PrintError(std::string_view message);

// kJson when the command line holds --json.
inline RecordFormat RequestedFormat(const ParsedArgs& parsed) {
  return parsed.Has("--json") ? RecordFormat::kJson : RecordFormat::kTab;
}

// True when `args` asks for help, which every command answers the same way.
bool WantsHelp(const Args& args);

// Command-line text to a path and back, UTF-8 on both sides.
Path PathFromArg(const std::string& arg);
std::string PathToDisplay(const Path& path);

// The folder of patch files for convert and targets: the value of "--patches DIR", or the
// "patches" folder beside the program. False, after printing why, when DIR is not a folder.
bool FindPatchFolder(const ParsedArgs& parsed, Path* folder);

// Runs one command line (without the program name); returns the exit code.
int RunCli(const Args& args);

}  // namespace tvl::cli
