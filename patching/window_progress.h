// Lets a conversion see each decoded window without every layer between it and the decoder
// passing a callback on: the converter installs a hook for its thread while a step runs.
#pragma once

#include <cstddef>
#include <functional>

namespace tvl {

// Told the size of each window written; false stops the decoding.
using WindowHook = std::function<bool(size_t window_size)>;

// The hook of this thread, or null.
inline thread_local const WindowHook* CurrentWindowHook = nullptr;

// Installs `hook` for the current thread for its own lifetime.
class ScopedWindowHook {
 public:
  explicit ScopedWindowHook(const WindowHook* hook) : previous_(CurrentWindowHook) {
    CurrentWindowHook = hook;
  }
  ~ScopedWindowHook() { CurrentWindowHook = previous_; }
  ScopedWindowHook(const ScopedWindowHook&) = delete;
  ScopedWindowHook& operator=(const ScopedWindowHook&) = delete;

 private:
  const WindowHook* previous_;
};

// Called by the decoding loop after each window is written; true to go on.
inline bool WindowWritten(size_t window_size) {
  return !CurrentWindowHook || (*CurrentWindowHook)(window_size);
}

}  // namespace tvl
