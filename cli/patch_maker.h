// Making one verified patch: the encoder's output is decoded again before anyone may use it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tvl::cli {

// Encodes the patch from `source` to `target`, naming them in its application header, and
// decodes it again to check that it rebuilds `target` exactly. False with `error` otherwise.
bool MakeVerifiedPatch(std::span<const uint8_t> source, std::span<const uint8_t> target,
                       const std::string& source_name, const std::string& target_name,
                       std::vector<uint8_t>* patch, std::string* error);

// A file name fit for the application header: printable ASCII, no '/'.
std::string HeaderName(const std::string& file_name);

}  // namespace tvl::cli
