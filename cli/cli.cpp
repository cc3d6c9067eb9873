#include "cli/cli.h"

#include <cstdio>
#include <system_error>

#include "patches/patch_folder.h"
#include "zip/zipped_file.h"

namespace tvl::cli {

const std::string* ParsedArgs::Find(std::string_view name) const {
  const std::string* found = nullptr;
  for (const auto& [option, value] : options) {
    if (option == name) found = &value;
  }
  return found;
}

ParsedArgs ParseArgs(const Args& args, std::initializer_list<std::string_view> value_options,
                     std::initializer_list<std::string_view> flag_options) {
  auto contains = [](std::initializer_list<std::string_view> list, std::string_view name) {
    for (std::string_view item : list) {
      if (item == name) return true;
    }
    return false;
  };
  ParsedArgs parsed;
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-' || arg == "-") {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    std::string name = arg, value;
    bool inline_value = false;
    if (size_t equals = arg.find('='); equals != std::string::npos) {
      name = arg.substr(0, equals), value = arg.substr(equals + 1), inline_value = true;
    }
    if (contains(flag_options, name) && !inline_value) {
      parsed.options.emplace_back(name, "");
    } else if (contains(value_options, name)) {
      if (!inline_value) {
        if (i + 1 >= args.size()) {
          parsed.error = "option " + name + " needs a value";
          return parsed;
        }
        value = args[++i];
      }
      parsed.options.emplace_back(name, value);
    } else {
      parsed.error = "unknown option " + arg;
      return parsed;
    }
  }
  return parsed;
}

void PrintError(std::string_view message) {
  std::fprintf(stderr, "tarvelline-cli: %.*s\n", static_cast<int>(message.size()), message.data());
}

int UsageError(const Command& command, std::string_view message) {
  std::fprintf(stderr, "tarvelline-cli %s: %.*s (try 'tarvelline-cli %s --help')\n", command.name,
               static_cast<int>(message.size()), message.data(), command.name);
  return kExitUsage;
}

bool WantsHelp(const Args& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return true;
    if (arg == "--") break;
  }
  return false;
}

bool FindPatchFolder(const ParsedArgs& parsed, Path* folder) {
  const std::string* given = parsed.Find("--patches");
  if (!given) {
    // Absent is fine: the program then has its built-in patches only.
    *folder = PatchFolderBesideProgram();
    return true;
  }
  // A mistyped folder would otherwise pass for a folder without the patch.
  *folder = PathFromArg(*given);
  std::error_code error;
  if (std::filesystem::is_directory(*folder, error)) return true;
  if (std::filesystem::is_regular_file(*folder, error)) {
    ZipDirectory directory;
    ZipReport report;
    if (ReadZipFile(*folder, &directory, &report)) return true;
    if (report.status != ZipStatus::kNotZip) {
      PrintError("--patches " + DescribeZipReport(report, *given));
      return false;
    }
  }
  PrintError("--patches " + *given + ": not a folder or a patch pack");
  return false;
}

Path PathFromArg(const std::string& arg) {
  return Path(std::u8string(reinterpret_cast<const char8_t*>(arg.data()), arg.size()));
}

std::string PathToDisplay(const Path& path) { return PathToUtf8(path); }

}  // namespace tvl::cli
