// tarvelline-cli: the portable command-line companion.
#include "cli/cli.h"

#ifdef _WIN32
#include <cwchar>

// Built with -municode: arguments arrive as UTF-16 and travel on as UTF-8.
int wmain(int argc, wchar_t** argv) {
  tvl::cli::Args args;
  for (int i = 1; i < argc; ++i) args.push_back(tvl::cli::PathToDisplay(tvl::Path(argv[i])));
  return tvl::cli::RunCli(args);
}
#else
int main(int argc, char** argv) { return tvl::cli::RunCli(tvl::cli::Args(argv + 1, argv + argc)); }
#endif
