// A test seam in the file interface. A test installs a plan that makes the Nth operation of one
// kind fail, as a full disk, a failing drive or another program holding a file would, and then
// checks that nothing was lost. Nothing in the product installs a plan; without one, each
// operation pays a single pointer test.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace tvl {

enum class FileOp {
  kOpenRead,  // File::OpenForRead
  kCreate,    // File::CreateForWrite
  kRead,      // File::Read
  kWrite,     // File::Write
  kClose,     // File::Close of an open file, where a delayed write failure shows
  kFlush,     // forcing a finished file to the disk before it replaces another
  kRename,    // MoveFileReplacing
  kMakeTemp,  // MakeTempFile
  kRemove,    // RemoveFile
  kSwap,      // the moment in MoveFileReplacing when the old file makes way for the new one
};
inline constexpr int kFileOpCount = 10;

// What happens to an operation the plan picks.
enum class FileFault {
  kNone,       // it runs as usual
  kFail,       // it fails with the plan's error and changes nothing
  kEndOfFile,  // a read finds the end of the file
  kCutShort,   // a swap stops just before its move, as if the program ended there
};

struct FileFaultPlan {
  FileOp op = FileOp::kOpenRead;
  uint64_t nth = 0;     // 1-based count of the operation of kind `op` to fail; 0 fails none
  FileError error = 0;  // the system's error number the failure reports
  // For kRead: instead of failing, the nth read and every later one find the end of the file,
  // as if the file had been cut short there.
  bool end_of_file = false;
  // For kSwap: instead of failing, the swap stops just before its one move and nothing is
  // undone, as when the program is ended there.
  bool cut_short = false;

  // Kept up to date while the plan is installed.
  uint64_t counts[kFileOpCount] = {};
  bool hit = false;  // whether the chosen operation was reached

  uint64_t count(FileOp kind) const { return counts[static_cast<int>(kind)]; }
};

// Installs `plan` for every file operation of the process; null removes it. Tests only.
void SetFileFaultPlan(FileFaultPlan* plan);

// Called by each operation before it touches the system: counts it against the installed plan
// and says what to do. On kFail, `*error` (when given) holds the plan's error.
FileFault CheckFileFault(FileOp op, FileError* error);

// For the one move of MoveFileReplacing: true when the plan stops it, failing with the plan's
// error or, cut short, with `cancelled` (the system's own "operation cancelled").
inline bool SwapFaultStops(FileError* error, FileError cancelled) {
  switch (CheckFileFault(FileOp::kSwap, error)) {
    case FileFault::kFail:
      return true;
    case FileFault::kCutShort:
      if (error) *error = cancelled;
      return true;
    default:
      return false;
  }
}

// For a read: true when the plan takes this read over, with what the read returns then (-1 for a
// failure, 0 for the end of the file).
inline bool InjectedRead(FileError* error, int64_t* result) {
  switch (CheckFileFault(FileOp::kRead, error)) {
    case FileFault::kNone:
      return false;
    case FileFault::kFail:
    case FileFault::kCutShort:
      *result = -1;
      return true;
    case FileFault::kEndOfFile:
      *result = 0;
      return true;
  }
  return false;
}

// Installs a plan for the lifetime of the object.
class ScopedFileFaultPlan {
 public:
  explicit ScopedFileFaultPlan(FileFaultPlan* plan) { SetFileFaultPlan(plan); }
  ~ScopedFileFaultPlan() { SetFileFaultPlan(nullptr); }
  ScopedFileFaultPlan(const ScopedFileFaultPlan&) = delete;
  ScopedFileFaultPlan& operator=(const ScopedFileFaultPlan&) = delete;
};

}  // namespace tvl
