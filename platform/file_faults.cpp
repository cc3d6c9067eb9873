#include "platform/file_faults.h"

#include <atomic>

namespace tvl {
namespace {

std::atomic<FileFaultPlan*> installed_plan{nullptr};

}  // namespace

void SetFileFaultPlan(FileFaultPlan* plan) {
  installed_plan.store(plan, std::memory_order_release);
}

FileFault CheckFileFault(FileOp op, FileError* error) {
  FileFaultPlan* plan = installed_plan.load(std::memory_order_acquire);
  if (!plan) return FileFault::kNone;
  const uint64_t count = ++plan->counts[static_cast<int>(op)];
  if (op != plan->op || plan->nth == 0 || count < plan->nth) return FileFault::kNone;
  if (op == FileOp::kRead && plan->end_of_file) {
    plan->hit = true;
    return FileFault::kEndOfFile;
  }
  if (count != plan->nth) return FileFault::kNone;
  plan->hit = true;
  if (op == FileOp::kSwap && plan->cut_short) return FileFault::kCutShort;
  if (error) *error = plan->error;
  return FileFault::kFail;
}

}  // namespace tvl
