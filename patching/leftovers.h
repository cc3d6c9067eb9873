// What a run that ended midway (a crash, a power cut, the program killed) left in a folder:
// temporary files, which go, and the two files of a swap, which never do. Nothing that holds a
// complete known release is ever removed.
#pragma once

#include <vector>

#include "platform/file.h"

namespace tvl {

// A file the clean-up kept.
struct KeptFile {
  Path file;              // where it is now
  Path origin;            // the name it belongs under; empty when that can't be known
  int release = -1;       // the catalogue index of what it holds; -1 when not a known release
  bool restored = false;  // moved back under `origin`, which was free
};

struct LeftoverReport {
  int removed = 0;             // temporary files removed
  std::vector<KeptFile> kept;  // in the order they were found
};

// A swap's old file and new file go back under the name they were made for, when it is free
// (the old file first: the conversion never said it was done); otherwise they keep names that
// say what they are. Temporary files left over are removed, unless one holds a complete known
// release: that one takes a name saying which.
LeftoverReport CleanUpLeftovers(const Path& folder);

}  // namespace tvl
