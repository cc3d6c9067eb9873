#include "cli/scan_progress.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tvl::cli {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Wide enough to cover the longest count line; no escape sequences, which old consoles print.
constexpr int kLineWidth = 60;

}  // namespace

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

void ShowProgress(ScanProgress* progress) {
  if (!progress->enabled) return;
  auto now = std::chrono::steady_clock::now();
  if (progress->shown && now - progress->last_shown < kRedrawInterval) return;
  std::fprintf(stderr, "\rscanning: %zu files checked, %zu game files", progress->files_checked,
               progress->game_files);
  std::fflush(stderr);
  progress->shown = true;
  progress->last_shown = now;
}

void ClearProgress(ScanProgress* progress) {
  if (!progress->shown) return;
  std::fprintf(stderr, "\r%*s\r", kLineWidth, "");
  std::fflush(stderr);
  progress->shown = false;
}

}  // namespace tvl::cli
