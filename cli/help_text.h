// The program's --help, which the manual page is made from too, so the two can't say different
// things.
#pragma once

#include <string>

namespace tvl::cli {

// One line on what the program does.
extern const char kProgramPurpose[];

// The program's own options, after the list of commands.
extern const char kProgramOptions[];

// How records are written: the escapes of TAB lines, and JSON Lines.
extern const char kOutputHelp[];

// The whole of 'tarvelline-cli --help'.
std::string ProgramHelp();

}  // namespace tvl::cli
