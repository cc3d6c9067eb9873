#include "app/conversion_worker.h"

#include <utility>

namespace tvl {
namespace {

ConversionProbe& Probe() {
  static ConversionProbe probe;
  return probe;
}

}  // namespace

void SetConversionProbe(ConversionProbe probe) { Probe() = std::move(probe); }

ConversionWorker::~ConversionWorker() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

bool ConversionWorker::Hold() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (committed_) return false;
  held_ = true;
  return true;
}

void ConversionWorker::Resume(bool stop) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop) stop_ = true;
    held_ = false;
  }
  resumed_.notify_all();
}

bool ConversionWorker::WaitAndGoOn(bool committing) {
  std::unique_lock<std::mutex> lock(mutex_);
  resumed_.wait(lock, [this] { return !held_; });
  if (stop_) return false;
  if (committing) committed_ = true;
  return true;
}

void ConversionWorker::Start(HWND window, ConvertRequest request) {
  stop_ = false;
  held_ = false;
  committed_ = false;
  last_posted_ = -1;
  request.progress = [this, window](uint64_t written, uint64_t expected) {
    if (Probe()) Probe()(written, expected);
    const int permille = expected == 0 ? 0 : static_cast<int>(written * kProgressRange / expected);
    // One message per visible step, not per window: the queue never fills.
    if (last_posted_.exchange(permille) != permille) {
      PostMessageW(window, kConversionProgressMessage, static_cast<WPARAM>(permille), 0);
    }
    return WaitAndGoOn(false);
  };
  request.commit = [this] { return WaitAndGoOn(true); };
  thread_ = std::thread([this, window, request = std::move(request)] {
    report_ = ConvertRelease(request);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      committed_ = true;
    }
    PostMessageW(window, kConversionDoneMessage, 0, 0);
  });
}

ConvertReport ConversionWorker::Finish() {
  if (thread_.joinable()) thread_.join();
  return report_;
}

}  // namespace tvl
