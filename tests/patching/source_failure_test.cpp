// The applier over a source that isn't a plain, steady file: one shortened while it runs, one
// that can't be read, a pipe (POSIX; Windows can neither shorten a file we hold open nor open a
// folder as a file, and the read path they share is tested in source_blocks_test), and one whose
// disk goes away while it runs (Windows).
#include <gtest/gtest.h>

#include <vector>

#include "patching/apply_patch.h"
#include "patching/apply_replacing.h"
#include "tests/test_files.h"
#include "tests/vcdiff/vcdiff_writer.h"

#ifdef _WIN32
#include <windows.h>

#include <cstring>
#else
#include <fcntl.h>
#include <unistd.h>

#include <thread>

#include "tests/fifo_feeder.h"
#endif

namespace tvl {
namespace {

using testing::EncodeStream;
using testing::ExpectedTarget;
using testing::RandomBytes;
using testing::ScratchDir;
using testing::WindowBuilder;

#ifndef _WIN32

// Reads the pipe `path` to its end. After the first bytes arrive, while the applier is still
// writing its first window (larger than a pipe holds), runs `meanwhile`.
std::vector<uint8_t> DrainPipe(const Path& path, const std::function<void()>& meanwhile) {
  std::vector<uint8_t> bytes;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  uint8_t buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    if (bytes.empty()) meanwhile();
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  ::close(fd);
  return bytes;
}

// Another program shortens the source while a conversion reads it through its view. The run
// ends with a clear error instead of the process dying, and the window that would have been
// made of the lost bytes is never written.
TEST(SourceFailureTest, ASourceShortenedDuringTheRunIsAnErrorNotACrash) {
  ScratchDir dir;
  const Path source_path = dir / "source.bin";
  const Path output_path = dir / "output.pipe";
  const std::vector<uint8_t> source = RandomBytes(1 << 20, 1);
  testing::WriteFileBytes(source_path, source);
  ASSERT_EQ(::mkfifo(output_path.c_str(), 0600), 0);

  // Each larger than a pipe holds, so its write waits for our reader. One window decodes while
  // the one before is written: the third begins only once the first is written.
  WindowBuilder first;
  first.indicator = 0x04;
  first.Add(RandomBytes(1 << 20, 2));
  WindowBuilder second = first;
  WindowBuilder third(&source, 0, source.size());  // reads the source from its middle on
  third.Copy(0, 100, 0);
  third.Copy(600000, 300000, 0);
  const std::vector<WindowBuilder> windows = {first, second, third};

  std::vector<uint8_t> written;
  std::thread reader([&] {
    written = DrainPipe(output_path, [&] { ::truncate(source_path.c_str(), 4096 * 3 + 17); });
  });
  ApplyError error;
  const bool result = ApplyPatchBytes(source_path, EncodeStream(windows, "b//a/"), output_path,
                                      kPatchPieceSize, &error);
  reader.join();

  EXPECT_FALSE(result);
  EXPECT_EQ(error.failure, ApplyFailure::kReadInput);
  EXPECT_STREQ(error.message, "The input changed while it was being converted.");
  EXPECT_EQ(DescribeApplyError(error, source_path, "p", output_path),
            "The input changed while it was being converted.");
  EXPECT_EQ(written, ExpectedTarget({first, second}));
}

// A source the system fails to read gives its reason, and names the file, even when the patch
// takes no byte from it.
TEST(SourceFailureTest, AnUnreadableSourceSaysWhy) {
  ScratchDir dir;
  WindowBuilder window;
  window.indicator = 0x04;
  window.Add(RandomBytes(100, 3));
  ApplyError error;
  EXPECT_FALSE(ApplyPatchBytes(dir.path(), EncodeStream({window}, "b//a/"), dir / "out.bin",
                               kPatchPieceSize, &error));
  EXPECT_EQ(error.failure, ApplyFailure::kReadInput);
  EXPECT_EQ(DescribeApplyError(error, dir.path(), "p", dir / "out.bin"),
            "Couldn't read input: " + dir.path().string() + " (Is a directory)");
}

// A source that is a pipe, read in short pieces, serves a patch whose copies go forward through
// it, across windows, as a patch between releases does.
TEST(SourceFailureTest, APipeServesAPatchThatWalksItForward) {
  ScratchDir dir;
  const std::vector<uint8_t> source = RandomBytes(300000, 4);
  WindowBuilder first(&source, 0, 150000);
  first.Copy(10, 5000, 0);
  first.Copy(5010, 4096, 0);  // right after: the read-ahead goes on
  first.Add(RandomBytes(50, 5));
  first.Copy(70000, 65536 + 3, 0);
  WindowBuilder second(&source, 150000, 150000);
  second.Copy(0, 1, 0);
  second.Copy(149000, 1000, 0);  // the last bytes
  const std::vector<WindowBuilder> windows = {first, second};

  testing::FifoFeeder feeder(dir / "source.pipe", source);
  ApplyError error;
  ASSERT_TRUE(ApplyPatchBytes(dir / "source.pipe", EncodeStream(windows, "b//a/"), dir / "out.bin",
                              kPatchPieceSize, &error))
      << error.message;
  EXPECT_EQ(testing::ReadFileBytes(dir / "out.bin"), ExpectedTarget(windows));
}

#else  // _WIN32

// The view the applier holds of `bytes`: the mapped region that begins with them. Null if none.
uint8_t* FindView(const std::vector<uint8_t>& bytes) {
  MEMORY_BASIC_INFORMATION region{};
  for (const uint8_t* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const uint8_t*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_MAPPED &&
        region.Protect == PAGE_READONLY && region.RegionSize >= bytes.size() &&
        std::memcmp(region.BaseAddress, bytes.data(), bytes.size()) == 0) {
      return static_cast<uint8_t*>(region.BaseAddress);
    }
  }
  return nullptr;
}

// The source's disk goes away while the applier reads it through its view (its pages are made
// inaccessible once the first window is written). The run ends with the system's reason instead
// of the process dying, and the output it would have replaced is untouched, with nothing left
// beside it.
TEST(SourceFailureTest, ASourceWhosePagesCantBeReadIsAnErrorNotACrash) {
  ScratchDir dir;
  const Path source_path = dir / "source.bin";
  const Path output_path = dir / "output.bin";
  const std::vector<uint8_t> source = RandomBytes(1 << 20, 1);
  const std::vector<uint8_t> precious = RandomBytes(1000, 9);
  testing::WriteFileBytes(source_path, source);
  testing::WriteFileBytes(output_path, precious);

  // One window decodes while the one before is written: the third begins only once the first
  // is written, and the hook has heard of it.
  WindowBuilder first;
  first.indicator = 0x04;
  first.Add(RandomBytes(1 << 16, 2));
  WindowBuilder second = first;
  WindowBuilder third(&source, 0, source.size());
  third.Copy(600000, 300000, 0);
  bool lost = false;
  const WindowWritten pull_the_disk = [&](size_t) {
    if (uint8_t* view = FindView(source)) {
      DWORD old_protection = 0;
      lost = VirtualProtect(view, source.size(), PAGE_NOACCESS, &old_protection) != 0;
    }
    return true;
  };
  ApplyError error;
  const bool result = ApplyPatchBytesReplacing(
      source_path, EncodeStream({first, second, third}, "b//a/"), output_path, kPatchPieceSize,
      &error, {kNoOutputLimit, pull_the_disk, {}});

  ASSERT_TRUE(lost);
  EXPECT_FALSE(result);
  EXPECT_EQ(error.failure, ApplyFailure::kReadInput);
  EXPECT_EQ(DescribeApplyError(error, source_path, "p", output_path),
            "Couldn't read input: " + source_path.string() + " (" +
                DescribeFileError(ERROR_SWAPERROR) + ")");
  EXPECT_EQ(testing::ReadFileBytes(output_path), precious);
  EXPECT_EQ(testing::ReadFileBytes(source_path), source);
  EXPECT_EQ(testing::FileNames(dir.path()), (std::set<std::string>{"output.bin", "source.bin"}));
}

#endif  // _WIN32

}  // namespace
}  // namespace tvl
