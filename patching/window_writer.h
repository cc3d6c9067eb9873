// Writes finished windows to the output on a thread of its own, one at a time, so that the next
// window decodes while the system copies the last one into the file.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/file.h"

namespace tvl {

class WindowWriter {
 public:
  explicit WindowWriter(File& output) : output_(output) {}
  // Waits for the write under way: the output and the bytes being written outlive it.
  ~WindowWriter();
  WindowWriter(const WindowWriter&) = delete;
  WindowWriter& operator=(const WindowWriter&) = delete;

  // Starts the thread; false when the system won't give one, and the caller then writes itself.
  bool Start();
  // Waits until the write under way, if any, is done; false, with the system's reason, when it
  // failed or came up short.
  bool Wait(FileError* error);
  // Hands over `size` bytes at `data` to write, after a Wait; they stay untouched until the next.
  void Write(const uint8_t* data, size_t size);

 private:
  void Run();

  File& output_;
  std::mutex mutex_;
  std::condition_variable changed_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  bool busy_ = false;  // a write was handed over and isn't done
  bool stop_ = false;
  bool failed_ = false;
  FileError error_ = 0;
  std::thread thread_;
};

}  // namespace tvl
