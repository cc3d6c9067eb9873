// The scan's one-line progress count, on stderr when that is a terminal.
#pragma once

#include <chrono>
#include <cstddef>

namespace tvl::cli {

struct ScanProgress {
  bool enabled = false;  // only on a terminal: a log or a pipe gets no carriage returns
  size_t files_checked = 0;
  size_t game_files = 0;
  bool shown = false;
  std::chrono::steady_clock::time_point last_shown{};
};

// True when stderr is a terminal.
bool StderrIsTerminal();

// Redraws the count, at most ten times a second.
void ShowProgress(ScanProgress* progress);
// Wipes the count off its line, before other output or at the end.
void ClearProgress(ScanProgress* progress);

}  // namespace tvl::cli
