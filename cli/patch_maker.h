// Making one verified patch: the encoder's output is decoded again before anyone may use it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file.h"

namespace tvl::cli {

// Encodes the patch from `source` to `target`, naming them in its application header, and
// decodes it again to check that it rebuilds `target` exactly. False with `error` otherwise.
bool MakeVerifiedPatch(std::span<const uint8_t> source, std::span<const uint8_t> target,
                       const std::string& source_name, const std::string& target_name,
                       std::vector<uint8_t>* patch, std::string* error);

// The same with the target read from `target_file`, from its start, once to encode and once to
// check, a window at a time: a large pair costs its source and a few windows, not both files.
// `target_shown` names the file in a message about reading it.
bool MakeVerifiedPatch(std::span<const uint8_t> source, File& target_file,
                       const std::string& target_shown, const std::string& source_name,
                       const std::string& target_name, std::vector<uint8_t>* patch,
                       std::string* error);

// A file name fit for the application header: printable ASCII, no '/'.
std::string HeaderName(const std::string& file_name);

}  // namespace tvl::cli
