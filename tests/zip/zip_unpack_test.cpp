// Unpacking when something fails on the way: the disk, the temporary file, the sink, a hostile
// entry. A failure is reported as one, with the system's reason, and no temporary file stays.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "catalogue/identify.h"
#include "platform/file_faults.h"
#include "platform/file_ops.h"
#include "tests/platform/system_errors.h"
#include "tests/test_files.h"
#include "tests/zip/zip_test_archives.h"
#include "zip/zip_inflate.h"
#include "zip/zipped_file.h"

namespace tvl {
namespace {

using testing::FileNames;
using testing::Original;
using testing::TestArchive;

struct Fault {
  const char* name;
  FileOp op;
  FileError error;
  ZipStatus status;          // what a hit must end with
  bool end_of_file = false;  // reads find the file cut short instead of failing
  // Whether every hit must fail the unpacking: closing the archive, which was only read, loses
  // nothing, and a file cut short after its last byte was read is whole.
  bool must_fail = true;
};

const Fault kFaults[] = {
    {"open", FileOp::kOpenRead, testing::kDenied, ZipStatus::kReadFailed},
    {"read", FileOp::kRead, testing::kIoError, ZipStatus::kReadFailed},
    {"read cut short", FileOp::kRead, 0, ZipStatus::kDamaged, true, false},
    {"temporary file", FileOp::kMakeTemp, testing::kDenied, ZipStatus::kWriteFailed},
    {"create", FileOp::kCreate, testing::kDenied, ZipStatus::kWriteFailed},
    {"write", FileOp::kWrite, testing::kDiskFull, ZipStatus::kWriteFailed},
    {"close", FileOp::kClose, testing::kDiskFull, ZipStatus::kWriteFailed, false, false},
};

struct Unpacked {
  bool ok = false;
  ZipReport report;
  std::set<std::string> left;  // the folder's files once the temporary file is gone
};

class ZipUnpackTest : public ::testing::Test {
 protected:
  // Unpacks the entry into folder_ (under `plan`, when given), checks the file and its digest on
  // success, and gives what the folder holds once the result is dropped.
  Unpacked Unpack(const char* archive, const ZipEntry& entry, const char* original,
                  const TempFileMaker& make_temp = {}, FileFaultPlan* plan = nullptr) {
    Unpacked result;
    TempFile unpacked;
    FileDigest digest;
    {
      ScopedFileFaultPlan scope(plan);
      result.ok = UnpackZipEntry(TestArchive(archive), entry, folder_.path(), make_temp, &unpacked,
                                 &digest, &result.report);
    }
    if (result.ok) {
      const std::vector<uint8_t> bytes = Original(original);
      EXPECT_TRUE(testing::ReadFileBytes(unpacked.path()) == bytes) << "a success with wrong data";
      EXPECT_EQ(FormatDigest(digest.bytes), testing::Sha1Hex(bytes));
    } else {
      EXPECT_TRUE(unpacked.empty());
      EXPECT_NE(result.report.status, ZipStatus::kOk);
    }
    unpacked.Reset();
    result.left = FileNames(folder_.path());
    return result;
  }

  testing::ScratchDir folder_;
};

// Each kind of operation fails at each point a clean unpacking reaches it, for a stored and a
// deflated entry.
TEST_F(ZipUnpackTest, EveryFailingFileOperationIsReportedAndLeavesNothing) {
  for (const char* archive : {"python_deflate.zip", "python_stored.zip"}) {
    const ZipDirectory directory = testing::ReadTestArchive(archive);
    const ZipEntry* entry = testing::FindEntry(directory, "DOOM2.WAD");
    ASSERT_NE(entry, nullptr);
    FileFaultPlan counted;
    ASSERT_TRUE(Unpack(archive, *entry, "DOOM2.WAD", {}, &counted).ok);
    for (const Fault& fault : kFaults) {
      const uint64_t total = counted.count(fault.op);
      EXPECT_GT(total, 0u) << archive << ": no " << fault.name;
      size_t failed = 0;
      for (uint64_t n = 1; n <= total + 1; ++n) {
        SCOPED_TRACE(::testing::Message()
                     << archive << ": " << fault.name << " " << n << " of " << total);
        FileFaultPlan plan{
            .op = fault.op, .nth = n, .error = fault.error, .end_of_file = fault.end_of_file};
        const Unpacked run = Unpack(archive, *entry, "DOOM2.WAD", {}, &plan);
        EXPECT_EQ(plan.hit, n <= total);
        EXPECT_TRUE(run.left.empty()) << "a temporary file was left behind";
        if (!plan.hit) {
          EXPECT_TRUE(run.ok);
          continue;
        }
        if (fault.must_fail) {
          EXPECT_FALSE(run.ok) << "a failure reported as success";
        }
        if (run.ok) continue;
        ++failed;
        if (fault.end_of_file) {
          // The file shrank since its directory was read: the entry now lies outside it, or
          // its data ends short.
          EXPECT_TRUE(run.report.status == ZipStatus::kOutside ||
                      run.report.status == ZipStatus::kDamaged)
              << DescribeZipReport(run.report, archive);
        } else {
          EXPECT_EQ(run.report.status, fault.status) << DescribeZipReport(run.report, archive);
          EXPECT_EQ(run.report.file_error, fault.error);
          EXPECT_TRUE(DescribeZipReport(run.report, archive).find(DescribeFileError(fault.error)) !=
                      std::string::npos)
              << DescribeZipReport(run.report, archive);
        }
      }
      // Data that never reached the disk is lost: the unpacked file's close must be checked.
      if (fault.op == FileOp::kClose) {
        EXPECT_GE(failed, 1u) << archive;
      }
    }
  }
}

TEST_F(ZipUnpackTest, ATemporaryFileThatCantBeMadeIsAWriteFailure) {
  const ZipDirectory directory = testing::ReadTestArchive("python_deflate.zip");
  int calls = 0;
  const TempFileMaker refuse = [&](const Path&, FileError* error) {
    ++calls;
    *error = testing::kDenied;
    return Path();
  };
  const Unpacked run = Unpack("python_deflate.zip", directory.entries[0], "DOOM2.WAD", refuse);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(run.report.status, ZipStatus::kWriteFailed);
  EXPECT_EQ(run.report.file_error, testing::kDenied);
  EXPECT_TRUE(run.left.empty());
}

TEST_F(ZipUnpackTest, TheCallersTemporaryFileMakerIsUsedInTheFolderGiven) {
  const ZipDirectory directory = testing::ReadTestArchive("infozip_deflate.zip");
  Path asked, made;
  const TempFileMaker make = [&](const Path& folder, FileError*) {
    asked = folder;
    made = folder / "unpacked.tmp";
    testing::WriteFileText(made, "");
    return made;
  };
  TempFile unpacked;
  ZipReport report;
  ASSERT_TRUE(UnpackZipEntry(TestArchive("infozip_deflate.zip"), directory.entries[0],
                             folder_.path(), make, &unpacked, nullptr, &report))
      << DescribeZipReport(report, "infozip_deflate.zip");
  EXPECT_EQ(asked, folder_.path());
  EXPECT_EQ(unpacked.path(), made);
  EXPECT_TRUE(testing::ReadFileBytes(made) == Original("DOOM2.WAD"));
  unpacked.Reset();
  EXPECT_TRUE(FileNames(folder_.path()).empty());
}

// The bomb's temporary file, watched through a second name the unpacking doesn't know: the
// bytes written to it stop at the declared 1 MiB, and its own name is gone afterwards.
TEST_F(ZipUnpackTest, ABombWritesNoMoreThanItsDeclaredSize) {
  const ZipDirectory directory = testing::ReadTestArchive("bomb.zip");
  ASSERT_EQ(directory.entries.size(), 1u);
  ASSERT_EQ(directory.entries[0].size, uint64_t{1} << 20);
  testing::ScratchDir watch;
  const TempFileMaker make = [&](const Path& folder, FileError* error) {
    Path path = MakeTempFile(folder, error);
    if (!path.empty()) std::filesystem::create_hard_link(path, watch / "bomb");
    return path;
  };
  const Unpacked run = Unpack("bomb.zip", directory.entries[0], "", make);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.report.status, ZipStatus::kDamaged);
  EXPECT_TRUE(run.left.empty());
  ASSERT_TRUE(std::filesystem::exists(watch / "bomb"));
  EXPECT_LE(std::filesystem::file_size(watch / "bomb"), uint64_t{1} << 20);
}

TEST_F(ZipUnpackTest, AnArchiveGoneSinceItsDirectoryWasReadIsAReadFailure) {
  testing::WriteFileBytes(folder_ / "moved.zip",
                          testing::ReadFileBytes(TestArchive("python_deflate.zip")));
  ZipDirectory directory;
  ZipReport report;
  ASSERT_TRUE(ReadZipFile(folder_ / "moved.zip", &directory, &report));
  std::filesystem::remove(folder_ / "moved.zip");
  TempFile unpacked;
  EXPECT_FALSE(UnpackZipEntry(folder_ / "moved.zip", directory.entries[0], folder_.path(), {},
                              &unpacked, nullptr, &report));
  EXPECT_EQ(report.status, ZipStatus::kReadFailed);
  EXPECT_EQ(report.file_error, testing::kNotFound);
  EXPECT_TRUE(FileNames(folder_.path()).empty());
}

TEST(ZipReadTest, AnArchiveThatCantBeReadSaysWhy) {
  testing::ScratchDir dir;
  ZipDirectory directory;
  ZipReport report;
  EXPECT_FALSE(ReadZipFile(dir / "missing.zip", &directory, &report));
  EXPECT_EQ(report.status, ZipStatus::kReadFailed);
  EXPECT_EQ(report.file_error, testing::kNotFound);
  EXPECT_NE(DescribeZipReport(report, "missing.zip").find(testing::NotFoundText()),
            std::string::npos);
  EXPECT_FALSE(ReadZipFile(dir.path(), &directory, &report));  // a folder
  EXPECT_EQ(report.status, ZipStatus::kReadFailed);
  EXPECT_NE(report.file_error, 0u);

  // Every read of the directory failing in turn, the first and the Zip64 records' alike.
  for (const char* archive : {"python_deflate.zip", "zip64_full.zip", "comment.zip"}) {
    FileFaultPlan counted;
    {
      ScopedFileFaultPlan scope(&counted);
      ASSERT_TRUE(ReadZipFile(TestArchive(archive), &directory, &report));
    }
    const uint64_t total = counted.count(FileOp::kRead);
    for (uint64_t n = 1; n <= total; ++n) {
      SCOPED_TRACE(::testing::Message() << archive << " read " << n << " of " << total);
      FileFaultPlan plan{.op = FileOp::kRead, .nth = n, .error = testing::kIoError};
      ScopedFileFaultPlan scope(&plan);
      EXPECT_FALSE(ReadZipFile(TestArchive(archive), &directory, &report));
      EXPECT_EQ(report.status, ZipStatus::kReadFailed);
      EXPECT_EQ(report.file_error, testing::kIoError);
    }
  }
}

// The sink decides: a write failure with its reason, or a stop asked for.
TEST(ZipInflateTest, ASinkThatRefusesEndsTheUnpacking) {
  const ZipDirectory directory = testing::ReadTestArchive("python_deflate.zip");
  const ZipEntry& entry = directory.entries[0];
  const Path path = TestArchive("python_deflate.zip");
  const uint64_t size = std::filesystem::file_size(path);
  for (const FileError error : {testing::kDiskFull, FileError{0}}) {
    SCOPED_TRACE(error);
    File archive = File::OpenForRead(path);
    int calls = 0;
    const ZipSink sink = [&](const uint8_t*, size_t, FileError* why) {
      ++calls;
      *why = error;
      return false;
    };
    ZipReport report;
    EXPECT_FALSE(InflateZipEntry(archive, size, entry, sink, &report));
    EXPECT_EQ(calls, 1) << "the sink was called again after it refused";
    EXPECT_EQ(report.status, error ? ZipStatus::kWriteFailed : ZipStatus::kStopped);
    EXPECT_EQ(report.file_error, error);
  }
}

}  // namespace
}  // namespace tvl
