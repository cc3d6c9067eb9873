#include "cli/help_text.h"

#include <cstdio>
#include <string_view>

#include "cli/commands.h"

namespace tvl::cli {

const char kProgramPurpose[] =
    "Identifies Doom-engine IWAD releases and converts between releases of one game.\n";

const char kProgramOptions[] =
    "Run 'tarvelline-cli COMMAND --help' for a command's arguments.\n"
    "  --help       print this text\n"
    "  --version    print the program's version\n";

const char kOutputHelp[] =
    "Records are TAB-separated, one a line. In every field a backslash, TAB, line feed or\n"
    "carriage return is written as \\\\, \\t, \\n or \\r, so a file name of any bytes keeps its\n"
    "record on one line with all of its fields; every other byte is written as it is.\n"
    "printf '%b' undoes the escapes. On Windows, where no file name holds TAB, line feed or\n"
    "carriage return, a backslash is the folder separator and is written as it is.\n"
    "\n"
    "With --json, list, identify, scan and targets print JSON Lines instead: one object a line,\n"
    "keyed by the columns' names in lower case. INDEX and FLAGS are numbers; a column's \"-\",\n"
    "and an unknown file's ID and TITLE, are null; ROUTE is an array of patch names. A file\n"
    "inside a zip archive is ARCHIVE//ENTRY in a TAB line; in JSON its FILE is the archive and\n"
    "identify and scan add ENTRY, the name inside it (null for a plain file). Strings\n"
    "are UTF-8. A byte of a file name that is not part of valid UTF-8 is written as the escape\n"
    "\\udc80 to \\udcff (U+DC00 plus the byte), as Python's \"surrogateescape\" reads it, so the\n"
    "name's bytes can be recovered; a reader that won't keep a lone surrogate shows U+FFFD.\n"
    "On Windows a name holding half of a surrogate pair shows U+FFFD in its place.\n";

std::string ProgramHelp() {
  std::string text = "usage: tarvelline-cli COMMAND [ARGS]\n\n";
  text += kProgramPurpose;
  text += "\nCommands:\n";
  for (const Command* command : AllCommands()) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-12s %s\n", command->name, command->summary);
    text += line;
  }
  text += "\n";
  text += kProgramOptions;
  text += "\nOutput:\n";
  // Indented like the sections above.
  std::string_view output = kOutputHelp;
  while (!output.empty()) {
    const size_t end = output.find('\n') + 1;
    if (end > 1) text += "  ";
    text += output.substr(0, end);
    output.remove_prefix(end);
  }
  return text;
}

}  // namespace tvl::cli
