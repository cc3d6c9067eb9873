// Runs tarvelline-cli commands in-process with their output captured, as a script sees them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace tvl::cli {

struct CliRun {
  int code;
  std::string out, err;
};

inline CliRun RunCommand(const Args& args) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  int code = RunCli(args);
  std::fflush(stdout);
  std::string out = ::testing::internal::GetCapturedStdout();
  std::string err = ::testing::internal::GetCapturedStderr();
  return {code, out, err};
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

}  // namespace tvl::cli
