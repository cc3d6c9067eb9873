// identify's and scan's record of one file: INDEX SHA1 ID TITLE FILE, to which scan adds RULE and
// --explain a last field.
#pragma once

#include <optional>
#include <string>

#include "cli/record.h"

namespace tvl::cli {

// What a record names: a file, or a file inside a zip archive.
struct FileName {
  std::string file;                  // the file or the archive, as the user gave it (UTF-8)
  std::optional<std::string> entry;  // the entry's name inside the archive `file`
};

// `index` is the file's catalogue entry, or -1 for an unknown file, whose ID is "-" and TITLE
// "unknown" (null in JSON). The TAB line's FILE names an entry as ARCHIVE//ENTRY; JSON keeps
// `file` the archive's path, a real file, and adds `entry`: the entry's name, or null.
Record FileRecord(int index, const std::string& sha1_hex, const FileName& name);

}  // namespace tvl::cli
