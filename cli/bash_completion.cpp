#include "cli/bash_completion.h"

#include <map>
#include <set>
#include <string_view>

#include "cli/commands.h"

namespace tvl::cli {
namespace {

bool IsOptionChar(char c) { return (c >= 'a' && c <= 'z') || c == '-'; }
bool IsPlaceholderChar(char c) { return (c >= 'A' && c <= 'Z') || c == '_'; }

struct CommandOptions {
  std::set<std::string> names;
  std::map<std::string, std::string> values;  // option -> its placeholder (ID, DIR, N, ...)
};

// The options of a command's usage lines, up to the first blank line: "--name" and, where an
// upper-case word follows, the value it takes.
CommandOptions OptionsOf(std::string_view usage) {
  CommandOptions options;
  usage = usage.substr(0, usage.find("\n\n"));
  for (size_t at = usage.find("--"); at != std::string_view::npos; at = usage.find("--", at)) {
    size_t end = at + 2;
    while (end < usage.size() && IsOptionChar(usage[end])) ++end;
    const std::string name(usage.substr(at, end - at));
    options.names.insert(name);
    size_t value = end;
    while (value < usage.size() && usage[value] == ' ') ++value;
    size_t value_end = value;
    while (value_end < usage.size() && IsPlaceholderChar(usage[value_end])) ++value_end;
    if (value_end > value && value > end) {
      options.values[name] = std::string(usage.substr(value, value_end - value));
    }
    at = end;
  }
  options.names.insert("--help");
  return options;
}

// What a placeholder completes to: release ids, folders, nothing or files.
std::string CompletionFor(const std::string& placeholder) {
  if (placeholder == "ID") return "_tarvelline_cli_ids";
  if (placeholder == "DIR") return "COMPREPLY=($(compgen -d -- \"$cur\"))";
  if (placeholder == "N") return "COMPREPLY=()";
  return "COMPREPLY=($(compgen -f -- \"$cur\"))";
}

}  // namespace

std::string RenderBashCompletion() {
  std::string script =
      "# bash completion for tarvelline-cli: commands, options and release ids.\n"
      "# Made from the program's usage texts when it was built.\n"
      "\n"
      "_tarvelline_cli_ids() {\n"
      "  local ids\n"
      "  ids=$(\"${COMP_WORDS[0]}\" list 2>/dev/null | cut -f2,3 | tr '\\t' _)\n"
      "  COMPREPLY=($(compgen -W \"$ids\" -- \"$cur\"))\n"
      "}\n"
      "\n"
      "_tarvelline_cli() {\n"
      "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
      "  if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
      "    COMPREPLY=($(compgen -W \"";
  for (const Command* command : AllCommands()) script += std::string(command->name) + " ";
  script +=
      "--help --version\" -- \"$cur\"))\n"
      "    return\n"
      "  fi\n"
      "  local options\n"
      "  case \"${COMP_WORDS[1]} $prev\" in\n";
  std::string option_lists;
  for (const Command* command : AllCommands()) {
    const CommandOptions options = OptionsOf(command->usage);
    for (const auto& [option, placeholder] : options.values) {
      script += "    \"" + std::string(command->name) + " " + option + "\") " +
                CompletionFor(placeholder) + "; return ;;\n";
    }
    option_lists += "    " + std::string(command->name) + ") options=\"";
    for (const std::string& name : options.names) {
      option_lists += name + (name == *options.names.rbegin() ? "" : " ");
    }
    option_lists += "\" ;;\n";
  }
  script +=
      "  esac\n"
      "  case \"${COMP_WORDS[1]}\" in\n" +
      option_lists +
      "    *) return ;;\n"
      "  esac\n"
      "  if [[ $cur == -* ]]; then\n"
      "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
      "  elif [ \"${COMP_WORDS[1]}\" = scan ]; then\n"
      "    COMPREPLY=($(compgen -d -- \"$cur\"))\n"
      "  else\n"
      "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
      "  fi\n"
      "}\n"
      "complete -o filenames -F _tarvelline_cli tarvelline-cli\n";
  return script;
}

}  // namespace tvl::cli
