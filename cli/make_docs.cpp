// Writes tarvelline-cli's manual page or its bash completion to stdout, for the build.
// Usage: tarvelline-cli-docs man DATE VERSION | tarvelline-cli-docs bash-completion
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/bash_completion.h"
#include "cli/man_page.h"

int main(int argc, char** argv) {
  const std::string_view what = argc > 1 ? argv[1] : "";
  std::string text;
  if (what == "man" && argc == 4) {
    text = tvl::cli::RenderManPage(argv[2], argv[3]);
  } else if (what == "bash-completion" && argc == 2) {
    text = tvl::cli::RenderBashCompletion();
  } else {
    std::fputs("usage: tarvelline-cli-docs man DATE VERSION | bash-completion\n", stderr);
    return 2;
  }
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
