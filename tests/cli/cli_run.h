// Runs tarvelline-cli commands in-process with their output captured, as a script sees them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/file_faults.h"

namespace tvl::cli {

struct CliRun {
  int code;
  std::string out, err;
};

// Calls `run`, which gives an exit code, with its output captured.
template <typename Run>
CliRun Captured(Run run) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  int code = run();
  std::fflush(stdout);
  std::string out = ::testing::internal::GetCapturedStdout();
  std::string err = ::testing::internal::GetCapturedStderr();
  return {code, out, err};
}

inline CliRun RunCommand(const Args& args) {
  return Captured([&] { return RunCli(args); });
}

// The same with `plan` installed for the run alone: it counts the file operations, and fails the
// one it names.
inline CliRun RunCommand(const Args& args, FileFaultPlan* plan) {
  ScopedFileFaultPlan scope(plan);
  return RunCommand(args);
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

}  // namespace tvl::cli
