// identify's and scan's record of one file: INDEX SHA1 ID TITLE FILE, to which scan adds RULE and
// --explain a last field.
#pragma once

#include <string>

#include "cli/record.h"

namespace tvl::cli {

// `index` is the file's catalogue entry, or -1 for an unknown file, whose ID is "-" and TITLE
// "unknown" (null in JSON).
Record FileRecord(int index, const std::string& sha1_hex, const std::string& file);

}  // namespace tvl::cli
