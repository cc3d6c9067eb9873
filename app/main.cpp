// tarvelline.exe: the Windows program.
#include <windows.h>

#include <cstdlib>

#include "app/program.h"

// Built with -municode: the runtime parses the command line into __wargv.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The first argument after the program's name names the input file; others are ignored.
  const wchar_t* input_path = __argc >= 2 ? __wargv[1] : nullptr;
  return tvl::RunProgram(instance, input_path);
}
