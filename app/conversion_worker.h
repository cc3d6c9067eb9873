// Runs one conversion on a thread of its own, so the window goes on answering its messages. The
// worker never touches a window: it posts its progress and its end to the window that started it.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "patching/convert.h"

namespace tvl {

// Posted to the window: wparam is the progress in thousandths.
inline constexpr UINT kConversionProgressMessage = WM_APP + 20;
// Posted to the window once the conversion has ended; Finish then returns its report.
inline constexpr UINT kConversionDoneMessage = WM_APP + 21;
inline constexpr int kProgressRange = 1000;

class ConversionWorker {
 public:
  ConversionWorker() = default;
  // Stops the conversion and waits for it: the thread never outlives its owner.
  ~ConversionWorker();
  ConversionWorker(const ConversionWorker&) = delete;
  ConversionWorker& operator=(const ConversionWorker&) = delete;

  // Starts ConvertRelease(request) for `window`. Any progress callback of the request is replaced.
  void Start(HWND window, ConvertRequest request);
  // Asks the conversion to stop at its next window; it then ends with kCancelled. Ends a hold.
  void Stop() { Resume(true); }
  bool stopping() const { return stop_; }
  // Holds the conversion at its next window, or before its result takes its place, until
  // Resume: while the user is asked whether to stop, nothing changes under the question. False
  // when there is nothing left to hold: the result is being put in place, or the work has ended.
  bool Hold();
  // Ends a hold; with `stop`, the conversion stops where it was held.
  void Resume(bool stop);
  bool started() const { return thread_.joinable(); }
  // Waits for the thread and returns the report.
  ConvertReport Finish();

 private:
  // Called by the conversion at each window and before the move: waits out a hold, then says
  // whether to go on. `committing` marks the last call, after which nothing can stop it.
  bool WaitAndGoOn(bool committing);

  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable resumed_;
  bool held_ = false;       // the user is being asked
  bool committed_ = false;  // the result is being put in place, or the work has ended
  std::atomic<int> last_posted_{-1};
  ConvertReport report_;
};

// For tests: called on the worker thread at each progress report, before it is posted. May block.
using ConversionProbe = std::function<void(uint64_t written, uint64_t expected)>;
void SetConversionProbe(ConversionProbe probe);

}  // namespace tvl
