#include "patching/window_writer.h"

#include <system_error>

namespace tvl {

WindowWriter::~WindowWriter() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool WindowWriter::Start() {
  // The one place a standard call reports failure by throwing: turn it into a result.
  try {
    thread_ = std::thread(&WindowWriter::Run, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool WindowWriter::Wait(FileError* error) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  if (failed_ && error) *error = error_;
  return !failed_;
}

void WindowWriter::Write(const uint8_t* data, size_t size) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    data_ = data;
    size_ = size;
    busy_ = true;
  }
  changed_.notify_all();
}

void WindowWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || stop_; });
    if (stop_) return;
    const uint8_t* data = data_;
    const size_t size = size_;
    lock.unlock();
    FileError error = 0;
    const bool written = output_.Write(data, size, &error) == size;
    lock.lock();
    if (!written) {
      failed_ = true;
      error_ = error;
    }
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace tvl
