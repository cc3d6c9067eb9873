#include "platform/file_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/test_files.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <filesystem>

#include "tests/fifo_feeder.h"
#endif

namespace tvl {
namespace {

TEST(FileViewTest, SizesOnlyRegularFiles) {
  testing::ScratchDir dir;
  testing::WriteFileBytes(dir / "a.bin", testing::RandomBytes(70000, 2));
  File file = File::OpenForRead(dir / "a.bin");
  uint64_t size = 0;
  ASSERT_TRUE(FileView::RegularFileSize(file, &size));
  EXPECT_EQ(size, 70000u);

  // The null device reports a size of 0 whatever it holds; only its reads tell the truth.
#ifdef _WIN32
  File device = File::OpenForRead(L"NUL");
#else
  File device = File::OpenForRead("/dev/zero");
#endif
  ASSERT_TRUE(device.is_open());
  FileError error = 0;
  EXPECT_FALSE(FileView::RegularFileSize(device, &size, &error));
  EXPECT_NE(error, 0u);
  EXPECT_FALSE(FileView::Map(device).is_mapped());

  File closed;
  error = 0;
  EXPECT_FALSE(FileView::RegularFileSize(closed, &size, &error));
  EXPECT_NE(error, 0u);
  error = 0;
  EXPECT_FALSE(FileView::Map(closed, &error).is_mapped());
  EXPECT_NE(error, 0u);
}

TEST(FileViewTest, ShowsTheWholeFileAndHandsOverTheMapping) {
  testing::ScratchDir dir;
  const std::vector<uint8_t> bytes = testing::RandomBytes(70000, 2);
  testing::WriteFileBytes(dir / "a.bin", bytes);
  File file = File::OpenForRead(dir / "a.bin");
  FileView view = FileView::Map(file);
  ASSERT_TRUE(view.is_mapped());
  ASSERT_EQ(view.size(), bytes.size());
  EXPECT_EQ(0, std::memcmp(view.data(), bytes.data(), bytes.size()));
  EXPECT_FALSE(view.faulted());

  // The mapping outlives the handle it came from and moves with its owner.
  file.Close();
  FileView moved = std::move(view);
  EXPECT_FALSE(view.is_mapped());
  ASSERT_TRUE(moved.is_mapped());
  EXPECT_EQ(moved.data()[69999], bytes[69999]);

  testing::WriteFileBytes(dir / "empty", {});
  File empty = File::OpenForRead(dir / "empty");
  FileView nothing = FileView::Map(empty);
  EXPECT_TRUE(nothing.is_mapped());
  EXPECT_EQ(nothing.size(), 0u);
}

// Views the handler can't watch are not made at all; the caller reads the file instead.
TEST(FileViewTest, NoViewWithoutAGuardAndGuardsAreReturned) {
  testing::ScratchDir dir;
  testing::WriteFileBytes(dir / "a.bin", testing::RandomBytes(100, 5));
  File file = File::OpenForRead(dir / "a.bin");
  std::vector<FileView> views;
  size_t refused = 0;
  for (int i = 0; i < 100; ++i) {
    FileError error = 0;
    FileView view = FileView::Map(file, &error);
    if (view.is_mapped()) {
      views.push_back(std::move(view));
    } else {
      EXPECT_NE(error, 0u);
      ++refused;
    }
  }
  EXPECT_GT(views.size(), 0u);
  EXPECT_GT(refused, 0u);
  views.clear();
  EXPECT_TRUE(FileView::Map(file).is_mapped());
}

#ifdef _WIN32

// What a copy from a view is told by its reader.
struct PageCopy {
  const FileView* view;
  size_t page;
  std::vector<uint8_t>* out;
  size_t pages_copied;
};

// Copies the view a page at a time, counting the pages it got through.
void CopyPages(void* context) {
  auto* copy = static_cast<PageCopy*>(context);
  for (size_t at = 0; at < copy->view->size(); at += copy->page) {
    const size_t size = std::min(copy->page, static_cast<size_t>(copy->view->size()) - at);
    std::memcpy(copy->out->data() + at, copy->view->data() + at, size);
    ++copy->pages_copied;
  }
}

// A page that can't be read (a disk gone, here a page made inaccessible) ends the read where it
// happened instead of stopping the process, and the view says why. Other views, and later reads
// on the same thread, go on as before.
TEST(FileViewTest, AnUnreadablePageEndsTheReadAndMarksItsViewFaulted) {
  testing::ScratchDir dir;
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const size_t page = system.dwPageSize;
  const std::vector<uint8_t> bytes = testing::RandomBytes(20 * page + 100, 4);
  testing::WriteFileBytes(dir / "lost.bin", bytes);
  testing::WriteFileBytes(dir / "kept.bin", bytes);
  File lost_file = File::OpenForRead(dir / "lost.bin");
  File kept_file = File::OpenForRead(dir / "kept.bin");
  FileView lost = FileView::Map(lost_file);
  FileView kept = FileView::Map(kept_file);
  ASSERT_TRUE(lost.is_mapped() && kept.is_mapped());
  DWORD old_protection = 0;
  ASSERT_TRUE(VirtualProtect(const_cast<uint8_t*>(lost.data()) + 6 * page, page, PAGE_NOACCESS,
                             &old_protection));

  std::vector<uint8_t> seen(bytes.size());
  PageCopy copy{&lost, page, &seen, 0};
  EXPECT_FALSE(ReadViews(CopyPages, &copy));
  EXPECT_EQ(copy.pages_copied, 6u);
  EXPECT_EQ(0, std::memcmp(seen.data(), bytes.data(), 6 * page));
  FileError reason = 0;
  EXPECT_TRUE(lost.faulted(&reason));
  EXPECT_EQ(reason, static_cast<FileError>(ERROR_SWAPERROR));  // "Error performing inpage ..."

  std::vector<uint8_t> again(bytes.size());
  PageCopy whole{&kept, page, &again, 0};
  EXPECT_TRUE(ReadViews(CopyPages, &whole));
  EXPECT_EQ(again, bytes);
  EXPECT_FALSE(kept.faulted());

  // A new view takes the freed place with a clean slate.
  lost = FileView();
  FileView fresh = FileView::Map(lost_file);
  ASSERT_TRUE(fresh.is_mapped());
  EXPECT_FALSE(fresh.faulted());
}

#else

TEST(FileViewTest, PipesAreNotMapped) {
  testing::ScratchDir dir;
  testing::FifoFeeder feeder(dir / "pipe", testing::RandomBytes(10, 3));
  File pipe = File::OpenForRead(dir / "pipe");
  uint64_t size = 0;
  EXPECT_FALSE(FileView::RegularFileSize(pipe, &size));
  EXPECT_FALSE(FileView::Map(pipe).is_mapped());
  uint8_t drain[16];
  while (pipe.Read(drain, sizeof drain) > 0) {
  }
}

// Another program cuts the file short while we look: pages past the new end read as zeros
// instead of stopping the process, and the view says it faulted. Other views are untouched.
TEST(FileViewTest, AFileCutShortReadsAsZerosAndMarksItsViewFaulted) {
  testing::ScratchDir dir;
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const std::vector<uint8_t> bytes = testing::RandomBytes(20 * page + 100, 4);
  testing::WriteFileBytes(dir / "cut.bin", bytes);
  testing::WriteFileBytes(dir / "kept.bin", bytes);
  File cut_file = File::OpenForRead(dir / "cut.bin");
  File kept_file = File::OpenForRead(dir / "kept.bin");
  FileView cut = FileView::Map(cut_file);
  FileView kept = FileView::Map(kept_file);
  ASSERT_TRUE(cut.is_mapped() && kept.is_mapped());
  // Every page in place first, as a decoder would have them, before the cut takes them away.
  EXPECT_EQ(0, std::memcmp(cut.data(), bytes.data(), bytes.size()));

  const size_t new_size = 5 * page + 10;
  ASSERT_EQ(::truncate((dir / "cut.bin").c_str(), static_cast<off_t>(new_size)), 0);
  std::vector<uint8_t> seen(bytes.size());
  std::memcpy(seen.data(), cut.data(), seen.size());
  EXPECT_EQ(0, std::memcmp(seen.data(), bytes.data(), new_size));
  EXPECT_EQ(std::vector<uint8_t>(seen.begin() + 6 * page, seen.end()),
            std::vector<uint8_t>(seen.size() - 6 * page, 0));
  FileError reason = 0;
  EXPECT_TRUE(cut.faulted(&reason));
  EXPECT_EQ(reason, static_cast<FileError>(EIO));

  EXPECT_FALSE(kept.faulted());
  EXPECT_EQ(0, std::memcmp(kept.data(), bytes.data(), bytes.size()));

  // A new view takes the freed place with a clean slate.
  cut = FileView();
  FileView again = FileView::Map(kept_file);
  ASSERT_TRUE(again.is_mapped());
  EXPECT_FALSE(again.faulted());
}

// Killed by the fault, or ended by a handler that was there before ours (a sanitizer's), rather
// than carrying on after the access, which exits with 4.
bool DiedOfTheFault(int status) {
  // A sanitizer's own handler reports the fault and then aborts, or exits with its error code.
  if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGBUS || WTERMSIG(status) == SIGABRT;
  return WIFEXITED(status) && WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 3 &&
         WEXITSTATUS(status) != 4;
}

// Faults that are not in a view go where they went before: the default action, which ends the
// process.
TEST(FileViewDeathTest, FaultsOutsideViewsStillStopTheProcess) {
  testing::ScratchDir dir;
  testing::WriteFileBytes(dir / "a.bin", testing::RandomBytes(64 * 1024, 6));
  File file = File::OpenForRead(dir / "a.bin");
  FileView view = FileView::Map(file);  // the handler is in place from here on
  ASSERT_TRUE(view.is_mapped());
  const Path path = dir / "b.bin";
  testing::WriteFileBytes(path, testing::RandomBytes(64 * 1024, 6));
  EXPECT_EXIT(
      {
        void* own =
            ::mmap(nullptr, 64 * 1024, PROT_READ, MAP_PRIVATE, ::open(path.c_str(), O_RDONLY), 0);
        if (own == MAP_FAILED || ::truncate(path.c_str(), 0) != 0) _exit(3);
        volatile uint8_t byte = static_cast<const uint8_t*>(own)[8192];
        (void)byte;
        _exit(4);
      },
      DiedOfTheFault, "");
  EXPECT_EXIT(
      {
        raise(SIGBUS);
        _exit(4);
      },
      DiedOfTheFault, "");
}

void ExitWith42(int, siginfo_t*, void*) { _exit(42); }

// A handler that was there before the first view still gets the faults that are not ours.
TEST(FileViewDeathTest, FaultsOutsideViewsReachAnEarlierHandler) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: no handler of ours yet
  testing::ScratchDir dir;
  testing::WriteFileBytes(dir / "a.bin", testing::RandomBytes(100, 7));
  const Path path = dir / "a.bin";
  EXPECT_EXIT(
      {
        struct sigaction action = {};
        action.sa_sigaction = ExitWith42;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, nullptr);
        File file = File::OpenForRead(path);
        FileView view = FileView::Map(file);
        if (!view.is_mapped()) _exit(3);
        raise(SIGBUS);
        _exit(4);
      },
      ::testing::ExitedWithCode(42), "");
}

#endif  // _WIN32

}  // namespace
}  // namespace tvl
