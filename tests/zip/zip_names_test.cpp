// Names: which files are archives, which entries are game files, how an entry is labelled, how
// names stored in CP437 or UTF-8 read, and what the user is told when an archive can't be read.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/platform/system_errors.h"
#include "tests/test_files.h"
#include "tests/zip/zip_test_archives.h"
#include "zip/zipped_file.h"

namespace tvl {
namespace {

using testing::EntryNames;
using testing::ReadTestArchive;
using testing::TestArchive;
using Names = std::vector<std::string>;

TEST(ZipNamesTest, IsZipFileLooksAtTheFirstBytes) {
  EXPECT_TRUE(IsZipFile(TestArchive("python_deflate.zip")));
  EXPECT_TRUE(IsZipFile(TestArchive("sevenzip_deflate.zip")));
  EXPECT_TRUE(IsZipFile(TestArchive("infozip_pipe.zip")));
  EXPECT_FALSE(IsZipFile(TestArchive("not_zip.wad")));
  EXPECT_FALSE(IsZipFile(TestArchive("empty.zip")));
  testing::ScratchDir dir;
  testing::WriteFileText(dir / "short.zip", "PK\3");
  EXPECT_FALSE(IsZipFile(dir / "short.zip"));
  EXPECT_FALSE(IsZipFile(dir / "missing.zip"));
  EXPECT_FALSE(IsZipFile(dir.path()));
}

TEST(ZipNamesTest, GameFilesAreKnownByTheirNamesEnd) {
  const struct {
    const char* name;
    bool wad;
  } kCases[] = {
      {"DOOM2.WAD", true},           {"doom2.wad", true},
      {"Doom2.Wad", true},           {"tnt.iwad", true},
      {"HERETIC.IWAD", true},        {"freedoom.ipk3", true},
      {"games/doom/DOOM.WAD", true}, {"readme.txt", false},
      {"DOOM2.WAD.txt", false},      {"doom2.wa", false},
      {"doom2.pk3", false},          {"doom2wad", false},
      {"maps.wad/", false},          {"", false},
      {"doom2.wad ", false},         {"DOOM2.WAD.bak", false},
  };
  for (const auto& c : kCases) {
    ZipEntry entry;
    entry.name = c.name;
    EXPECT_EQ(IsWadEntry(entry), c.wad) << '"' << c.name << '"';
  }
}

TEST(ZipNamesTest, WadEntriesSkipReadmesAndFolders) {
  EXPECT_EQ(EntryNames(WadEntries(ReadTestArchive("two_iwads.zip"))),
            (Names{"DOOM.WAD", "DOOM2.WAD"}));
  EXPECT_EQ(EntryNames(WadEntries(ReadTestArchive("python_deflate.zip"))), Names{"DOOM2.WAD"});
  EXPECT_EQ(EntryNames(WadEntries(ReadTestArchive("python_empty_entries.zip"))),
            Names{"EMPTY.WAD"});
  EXPECT_TRUE(WadEntries(ReadTestArchive("infozip_stdin.zip")).empty());  // its entry is "-"
  EXPECT_TRUE(WadEntries(ReadTestArchive("python_no_entries.zip")).empty());
  // Entries given are the directory's own.
  const ZipDirectory directory = ReadTestArchive("two_iwads.zip");
  const std::vector<const ZipEntry*> wads = WadEntries(directory);
  ASSERT_EQ(wads.size(), 2u);
  EXPECT_EQ(wads[0], &directory.entries[0]);
  EXPECT_EQ(wads[1], &directory.entries[3]);
}

TEST(ZipNamesTest, ALabelJoinsTheArchivesNormalPathAndTheEntry) {
  const struct {
    Path archive;
    const char* entry;
    const char* label;
  } kCases[] = {
      {"iwads/doom2.zip", "DOOM2.WAD", "iwads/doom2.zip//DOOM2.WAD"},
      {"doom2.zip", "maps/DOOM2.WAD", "doom2.zip//maps/DOOM2.WAD"},
      {"iwads//doom2.zip", "DOOM2.WAD", "iwads/doom2.zip//DOOM2.WAD"},
      {"iwads/./doom2.zip", "DOOM2.WAD", "iwads/doom2.zip//DOOM2.WAD"},
      {"../doom2.zip", "DOOM2.WAD", "../doom2.zip//DOOM2.WAD"},
      {Path(u8"\u00dcber/doom.zip"), "M\u00fcLLER.WAD", "\u00dcber/doom.zip//M\u00fcLLER.WAD"},
#ifndef _WIN32
      {"/games/doom2.zip", "DOOM2.WAD", "/games/doom2.zip//DOOM2.WAD"},
#endif
  };
  for (const auto& c : kCases) {
    const std::string label = ZipEntryLabel(c.archive, c.entry);
    EXPECT_EQ(label, c.label);
    EXPECT_EQ(label.substr(label.find(kZipEntrySeparator) + kZipEntrySeparator.size()), c.entry);
  }
}

// Names without the UTF-8 flag are CP437, as DOS and old Windows tools wrote them (every byte from
// 0x80 up, against python's cp437 codec), except the UTF-8 names Unix tools store unflagged.
TEST(ZipNamesTest, NamesReadAsCp437OrUtf8AsTheEntrySays) {
  const ZipDirectory cp437 = ReadTestArchive("cp437_names.zip");
  ASSERT_FALSE(cp437.entries.empty());
  EXPECT_EQ(cp437.entries[0].name, "M\u00fcLLER.WAD");  // 0x81 is ü
  std::ifstream expected(TestArchive("cp437_names.txt"), std::ios::binary);
  Names names;
  for (std::string line; std::getline(expected, line);) names.push_back(line);
  std::vector<const ZipEntry*> entries;
  for (const ZipEntry& entry : cp437.entries) entries.push_back(&entry);
  EXPECT_EQ(EntryNames(entries), names);
  EXPECT_EQ(WadEntries(cp437).size(), names.size());

  EXPECT_EQ(EntryNames(WadEntries(ReadTestArchive("utf8_names.zip"))),
            (Names{"\u00dcber.wad", "DOOM-\U0001F3AE.WAD"}));
  // Unflagged UTF-8, as Info-ZIP on Linux stores names; from MS-DOS the same bytes are CP437.
  EXPECT_EQ(EntryNames(WadEntries(ReadTestArchive("unix_utf8_names.zip"))), Names{"\u00dcber.wad"});
  EXPECT_EQ(EntryNames(WadEntries(ReadTestArchive("dos_names.zip"))), Names{"\u251c\u00a3ber.wad"});
  // Info-ZIP's Unicode path field wins while it still matches the plain name.
  EXPECT_EQ(EntryNames(WadEntries(ReadTestArchive("unicode_path.zip"))),
            (Names{"M\u00fcller.wad", "NEU\u00fc.WAD"}));
}

TEST(ZipNamesTest, MethodsHaveTheirNames) {
  EXPECT_EQ(ZipMethodName(9), "Deflate64");
  EXPECT_EQ(ZipMethodName(12), "bzip2");
  EXPECT_EQ(ZipMethodName(14), "LZMA");
  EXPECT_EQ(ZipMethodName(4242), "method 4242");
}

// One sentence a report, naming the archive, the entry concerned and the reason.
TEST(ZipNamesTest, EveryReportIsOneSentenceThatSaysWhy) {
  const auto report = [](ZipStatus status, const char* entry = "", uint16_t method = 0,
                         FileError error = 0) {
    ZipReport r;
    r.status = status;
    r.entry = entry;
    r.method = method;
    r.file_error = error;
    return r;
  };
  const struct {
    ZipReport report;
    std::vector<std::string> says;
  } kCases[] = {
      {report(ZipStatus::kReadFailed, "", 0, testing::kDenied), {testing::DeniedText()}},
      {report(ZipStatus::kNotZip), {}},
      {report(ZipStatus::kSplit), {"split"}},
      {report(ZipStatus::kOutside), {}},
      {report(ZipStatus::kOutside, "DOOM2.WAD"), {"DOOM2.WAD"}},
      {report(ZipStatus::kMalformed), {"damaged"}},
      {report(ZipStatus::kMalformed, "DOOM2.WAD"), {"damaged", "DOOM2.WAD"}},
      {report(ZipStatus::kMethod, "DOOM2.WAD", 9), {"DOOM2.WAD", "Deflate64"}},
      {report(ZipStatus::kMethod, "DOOM2.WAD", 12), {"DOOM2.WAD", "bzip2"}},
      {report(ZipStatus::kMethod, "DOOM2.WAD", 4242), {"DOOM2.WAD", "method 4242"}},
      {report(ZipStatus::kEncrypted, "DOOM2.WAD"), {"DOOM2.WAD", "encrypted"}},
      {report(ZipStatus::kTooLarge, "DOOM2.WAD"), {"DOOM2.WAD"}},
      {report(ZipStatus::kDamaged, "DOOM2.WAD"), {"DOOM2.WAD", "damaged"}},
      {report(ZipStatus::kWriteFailed, "DOOM2.WAD", 0, testing::kDiskFull),
       {testing::DiskFullText()}},
      {report(ZipStatus::kStopped, "DOOM2.WAD"), {}},
  };
  for (const auto& c : kCases) {
    const std::string message = DescribeZipReport(c.report, "iwads/doom.zip");
    SCOPED_TRACE(message);
    EXPECT_EQ(message.find('\n'), std::string::npos);
    EXPECT_NE(message.find("iwads/doom.zip"), std::string::npos);
    for (const std::string& part : c.says) EXPECT_NE(message.find(part), std::string::npos);
  }
}

}  // namespace
}  // namespace tvl
