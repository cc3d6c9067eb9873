// A named pipe that a thread fills with given bytes in uneven pieces, pausing between them, so
// that whoever reads it gets short reads: the file that is not a regular file. POSIX only.
#pragma once

#ifndef _WIN32

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/file.h"

namespace tvl::testing {

class FifoFeeder {
 public:
  // Makes the pipe at `path` and starts writing `bytes` into it once a reader opens it.
  FifoFeeder(const Path& path, std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << path.string();
    writer_ = std::thread([this, path] { Feed(path); });
  }
  ~FifoFeeder() { writer_.join(); }
  FifoFeeder(const FifoFeeder&) = delete;
  FifoFeeder& operator=(const FifoFeeder&) = delete;

 private:
  void Feed(const Path& path) {
    // A reader that stops early must not take the test down with SIGPIPE.
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
    // Opening without blocking fails until a reader is there; give up after a while, so a test
    // that never reads fails instead of hanging.
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 10000; ++tries) {
      fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (fd < 0) return;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Pieces that straddle block and read-ahead boundaries in every way.
    static constexpr size_t kPieces[] = {1, 4095, 777, 4097, 3, 8192, 65537, 12345, 2};
    size_t done = 0;
    for (size_t i = 0; done < bytes_.size(); ++i) {
      size_t piece = std::min(kPieces[i % std::size(kPieces)], bytes_.size() - done);
      ssize_t put = ::write(fd, bytes_.data() + done, piece);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) break;
      done += static_cast<size_t>(put);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::close(fd);
  }

  std::vector<uint8_t> bytes_;
  std::thread writer_;
};

}  // namespace tvl::testing

#endif  // _WIN32
