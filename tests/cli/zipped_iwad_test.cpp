// Zipped IWADs through the CLI: identify and scan name each WAD entry as ARCHIVE//ENTRY, convert
// and targets take an archive's one WAD entry or the one --entry names, the archive is never
// written, and no unpacked temporary file outlives a command, whatever went wrong.
#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "tests/cli/cli_files.h"
#include "tests/cli/cli_run.h"
#include "tests/cli/json_reader.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"
#include "tests/zip_maker.h"

namespace tvl::cli {
namespace {

using testing::JsonReader;
using testing::JsonValue;
using testing::TestZipEntry;

std::span<const uint8_t> Bytes(std::u16string_view id) {
  return testing::SyntheticReleaseBytes(id);
}

const std::string kReadme = "Unzip and play.\n";
std::span<const uint8_t> ReadmeBytes() {
  return {reinterpret_cast<const uint8_t*>(kReadme.data()), kReadme.size()};
}

// Where the data of the archive's `index`-th entry starts, from the local headers.
size_t DataOffset(const std::vector<uint8_t>& zip, int index) {
  auto le = [&](size_t at, int bytes) {
    size_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | zip[at + i];
    return value;
  };
  size_t header = 0;
  for (;; --index) {
    const size_t data = header + 30 + le(header + 26, 2) + le(header + 28, 2);
    if (index == 0) return data;
    header = data + le(header + 18, 4);
  }
}

// The two releases of TNT zipped as a player might: one deflated, one stored in a folder, with a
// readme and the folder's own entry between them.
std::vector<TestZipEntry> TwoReleases() {
  return {{"tnt.wad", Bytes(u"tnt_v19")},
          {"readme.txt", ReadmeBytes()},
          {"psx/", {}, false},
          {"psx/TNT.WAD", Bytes(u"tnt_psnusa"), false}};
}

class ZippedIwadTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(work_); }
  void TearDown() override { ExpectNoTempFiles(); }

  Path WriteZip(std::string_view name, const std::vector<TestZipEntry>& members) {
    const Path path = work_ / Path(name);
    testing::WriteFileBytes(path, testing::MakeTestZip(members));
    return path;
  }
  // Every command removes what it unpacked, on every path.
  void ExpectNoTempFiles() {
    EXPECT_EQ(testing::FileNames(temp_), std::set<std::string>{}) << "left in the temp folder";
  }
  // identify's line for the release as a plain file, with FILE in the archive's form.
  std::string PlainLine(std::u16string_view id, const std::string& file) {
    const Path plain = testing::WriteSyntheticRelease(dir_.path(), id, "plain.wad");
    std::string line = RunCommand({"identify", Text(plain)}).out;
    return line.substr(0, line.rfind('\t') + 1) + file;
  }

  testing::ScratchDir dir_;
  Path temp_ = dir_ / "temp";
  testing::ScopedTempFolder temp_folder_{temp_};
  // The user's files. In its normal form, as ARCHIVE//ENTRY writes an archive's path.
  Path work_ = (dir_ / "work").lexically_normal();
};

TEST_F(ZippedIwadTest, IdentifyGivesARecordPerWadEntryNamedArchiveSlashSlashEntry) {
  const Path zip = WriteZip("iwads.zip", TwoReleases());
  const Path plain = testing::WriteSyntheticRelease(work_, u"doom2_v1666", "doom2.wad");

  CliRun run = RunCommand({"identify", Text(zip), Text(plain)});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                PlainLine(u"tnt_v19", Text(zip) + "//tnt.wad"),
                                PlainLine(u"tnt_psnusa", Text(zip) + "//psx/TNT.WAD"),
                                PlainLine(u"doom2_v1666", Text(plain)),
                            }));
  ExpectNoTempFiles();

  // JSON keeps the archive a real file's path and names the entry apart; a plain file's is null.
  run = RunCommand({"identify", "--json", "--explain", Text(zip), Text(plain)});
  EXPECT_EQ(run.code, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  const struct {
    const char16_t* id;
    std::string file;
    const char* entry;  // null: JSON null
  } expected[] = {{u"tnt_v19", Text(zip), "tnt.wad"},
                  {u"tnt_psnusa", Text(zip), "psx/TNT.WAD"},
                  {u"doom2_v1666", Text(plain), nullptr}};
  for (size_t i = 0; i < lines.size(); ++i) {
    std::optional<JsonValue> record = JsonReader::Parse(lines[i]);
    ASSERT_TRUE(record) << lines[i];
    EXPECT_EQ(record->Keys(), (std::vector<std::string>{"index", "sha1", "id", "title", "file",
                                                        "entry", "explain"}));
    EXPECT_EQ(record->Find("index")->text, std::to_string(FindIwadByReleaseId(expected[i].id)));
    EXPECT_EQ(record->Find("file")->text, expected[i].file);
    EXPECT_TRUE(std::filesystem::is_regular_file(PathFromArg(record->Find("file")->text)));
    const JsonValue* entry = record->Find("entry");
    if (expected[i].entry) {
      EXPECT_EQ(entry->kind, JsonValue::kString);
      EXPECT_EQ(entry->text, expected[i].entry);
    } else {
      EXPECT_EQ(entry->kind, JsonValue::kNull);
    }
    EXPECT_EQ(record->Find("explain")->text, "known release");
  }
}

// An unknown entry is explained from its unpacked bytes; zipped game data named *.ipk3 is a file
// of its own, identified whole; a readme-only archive named outright is an error.
TEST_F(ZippedIwadTest, IdentifyExplainsEntriesAndTellsArchivesFromZippedGameData) {
  const std::vector<uint8_t> addon = AddOn();
  const Path mods =
      WriteZip("mods.zip", {{"readme.txt", ReadmeBytes()}, {"MAPS/ADDON.WAD", addon}});
  const Path ipk3 = WriteZip("game.ipk3", {{"inner.wad", addon}});
  const Path docs = WriteZip("docs.zip", {{"readme.txt", ReadmeBytes()}});

  CliRun run = RunCommand({"identify", "--explain", Text(mods), Text(ipk3), Text(docs)});
  EXPECT_EQ(run.code, 1);
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2u) << run.out;
  EXPECT_TRUE(lines[0].starts_with("-1\t")) << lines[0];
  EXPECT_TRUE(lines[0].ends_with("\t-\tunknown\t" + Text(mods) +
                                 "//MAPS/ADDON.WAD\tPWAD (add-on) with 2 lumps, maps MAP07"))
      << lines[0];
  EXPECT_TRUE(lines[1].ends_with("\tunknown\t" + Text(ipk3) + "\tnot a WAD file")) << lines[1];
  EXPECT_EQ(run.err, "tarvelline-cli: " + Text(docs) + ": no WAD file in this archive\n");
}

TEST_F(ZippedIwadTest, ScanLooksInsideZipArchivesAndSkipsThoseWithoutWads) {
  const Path games = work_ / "games";
  std::filesystem::create_directories(games / "zipped");
  const Path zip = games / "zipped" / "TNT.ZIP";
  testing::WriteFileBytes(zip, testing::MakeTestZip(TwoReleases()));
  testing::WriteFileBytes(games / "zipped" / "docs.zip",
                          testing::MakeTestZip({{"readme.txt", ReadmeBytes()}}));
  const Path plain = testing::WriteSyntheticRelease(games, u"doom2_v1666", "doom2.wad");

  CliRun run = RunCommand({"scan", Text(games)});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{
                PlainLine(u"doom2_v1666", Text(plain)) + "\targument",
                PlainLine(u"tnt_v19", Text(zip) + "//tnt.wad") + "\targument",
                PlainLine(u"tnt_psnusa", Text(zip) + "//psx/TNT.WAD") + "\targument",
            }));

  run = RunCommand({"scan", "--json", Text(games / "zipped")});
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2u) << run.out;
  std::optional<JsonValue> record = JsonReader::Parse(lines[1]);
  ASSERT_TRUE(record) << lines[1];
  EXPECT_EQ(record->Keys(),
            (std::vector<std::string>{"index", "sha1", "id", "title", "file", "entry", "rule"}));
  EXPECT_EQ(record->Find("file")->text, Text(zip));
  EXPECT_EQ(record->Find("entry")->text, "psx/TNT.WAD");
  EXPECT_EQ(record->Find("rule")->text, "argument");

  // A damaged archive among them is reported, and the rest still found.
  std::vector<uint8_t> bytes = testing::MakeTestZip({{"tnt.wad", Bytes(u"tnt_v19"), false}});
  bytes[DataOffset(bytes, 0) + 1000] ^= 0x20;
  testing::WriteFileBytes(games / "broken.zip", bytes);
  run = RunCommand({"scan", Text(games)});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(Lines(run.out).size(), 3u) << run.out;
  EXPECT_NE(run.err.find(Text(games / "broken.zip")), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
  EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
}

// Archives that can't be read are reported with the reason, and nothing in them is identified,
// not even an entry before the bad one.
TEST_F(ZippedIwadTest, UnreadableArchivesIdentifyNothingAndLeaveNoTemporaryFile) {
  const std::vector<uint8_t> tnt = Release(u"tnt_v19");
  auto damaged = [&](bool deflate) {
    std::vector<uint8_t> zip = testing::MakeTestZip(
        {{"good.wad", tnt, false}, {"bad.wad", Bytes(u"tnt_psnusa"), deflate}});
    zip[DataOffset(zip, 1) + 5000] ^= 0x01;
    return zip;
  };
  std::vector<uint8_t> cut = testing::MakeTestZip({{"tnt.wad", tnt}});
  cut.resize(cut.size() / 2);
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* says;
    const char* entry;  // the one convert is to take
  } cases[] = {
      {"stored.zip", damaged(false), "damaged", "bad.wad"},
      {"deflated.zip", damaged(true), "damaged", "bad.wad"},
      {"deflate64.zip",
       testing::MakeTestZip({{"good.wad", tnt, false}, {"tnt.wad", tnt, false, uint16_t{9}}}),
       "Deflate64", "tnt.wad"},
      {"encrypted.zip", testing::MakeTestZip({{"tnt.wad", tnt, false, std::nullopt, 1}}),
       "encrypted", "tnt.wad"},
      {"cut.zip", cut, "damaged", "tnt.wad"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Path zip = work_ / c.name;
    testing::WriteFileBytes(zip, c.bytes);
    CliRun run = RunCommand({"identify", Text(zip)});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("tarvelline-cli: " + Text(zip))) << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    ExpectNoTempFiles();

    const Path output = work_ / "out.wad";
    run = RunCommand(
        {"convert", Text(zip), "--entry", c.entry, "--to", "tnt_v19", "--output", Text(output)});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_EQ(testing::ReadFileBytes(zip), c.bytes);
    ExpectNoTempFiles();
  }
}

TEST_F(ZippedIwadTest, ConvertTakesTheOneWadOrTheEntryNamedAndNeverWritesTheArchive) {
  const Path one =
      WriteZip("tnt.zip", {{"readme.txt", ReadmeBytes()}, {"TNT.WAD", Bytes(u"tnt_v19")}});
  const Path two = WriteZip("both.zip", TwoReleases());
  const Path plain = testing::WriteSyntheticRelease(work_, u"tnt_v19", "tnt.wad");
  const std::vector<uint8_t> one_bytes = testing::ReadFileBytes(one),
                             two_bytes = testing::ReadFileBytes(two);
  const Path output = work_ / "out.wad";
  const std::string prefix = "tarvelline-cli: ";
  const std::string choices = "tnt.wad, psx/TNT.WAD";
  const struct {
    const char* what;
    Path input;
    const char* to;
    const char* entry;       // --entry's value, or null for none
    const char16_t* result;  // the release now at OUTPUT, or null: refused, with `error`
    std::string error;
  } cases[] = {
      {"one WAD", one, "tnt_psnusa", nullptr, u"tnt_psnusa", ""},
      {"several", two, "tnt_psnusa", nullptr, nullptr,
       Text(two) + " holds several WAD files: " + choices + "; choose one with --entry NAME"},
      {"entry picked", two, "tnt_v19", "psx/TNT.WAD", u"tnt_v19", ""},
      {"entry unknown", two, "tnt_v19", "TNT.WAD", nullptr,
       Text(two) + ": no WAD file named TNT.WAD in this archive; it holds " + choices},
      {"entry not a WAD", two, "tnt_v19", "readme.txt", nullptr,
       Text(two) + ": no WAD file named readme.txt in this archive; it holds " + choices},
      {"already", two, "tnt_v19", "tnt.wad", nullptr, Text(two) + "//tnt.wad already is tnt_v19"},
      {"entry of a plain file", plain, "tnt_psnusa", "tnt.wad", nullptr,
       Text(plain) + " is not a zip archive; --entry names a file inside one"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Args args = {"convert", Text(c.input), "--to", c.to};
    if (c.entry) args.insert(args.end(), {"--entry", c.entry});
    args.insert(args.end(), {"--output", Text(output)});
    CliRun run = RunCommand(args);
    if (c.result) {
      ASSERT_EQ(run.code, 0) << run.err;
      EXPECT_EQ(testing::ReadFileBytes(output), Release(c.result));
      std::filesystem::remove(output);
    } else {
      EXPECT_EQ(run.code, 1);
      EXPECT_EQ(run.err, prefix + c.error + "\n");
      EXPECT_FALSE(std::filesystem::exists(output));
    }
    ExpectNoTempFiles();
  }

  // In place, or onto itself, the archive would become a plain WAD: refused, and left alone.
  for (const Args& target : {Args{"--in-place"}, Args{"--output", Text(one)}}) {
    Args args = {"convert", Text(one), "--to", "tnt_psnusa"};
    args.insert(args.end(), target.begin(), target.end());
    CliRun run = RunCommand(args);
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.starts_with(prefix + Text(one) +
                                    ": can't convert inside a zip archive; use --output"))
        << run.err;
    ExpectNoTempFiles();
  }
  EXPECT_EQ(testing::ReadFileBytes(one), one_bytes);
  EXPECT_EQ(testing::ReadFileBytes(two), two_bytes);
  EXPECT_EQ(testing::FileNames(work_), (std::set<std::string>{"both.zip", "tnt.wad", "tnt.zip"}));
}

TEST_F(ZippedIwadTest, TargetsOfAZippedReleaseAreThoseOfTheFile) {
  const Path one = WriteZip("tnt.zip", {{"TNT.WAD", Bytes(u"tnt_v19")}});
  const Path two = WriteZip("both.zip", TwoReleases());
  const Path v19 = testing::WriteSyntheticRelease(work_, u"tnt_v19", "v19.wad");
  const Path psx = testing::WriteSyntheticRelease(work_, u"tnt_psnusa", "psx.wad");

  CliRun run = RunCommand({"targets", Text(one)});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, RunCommand({"targets", Text(v19)}).out);
  run = RunCommand({"targets", Text(two), "--entry", "psx/TNT.WAD"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, RunCommand({"targets", Text(psx)}).out);
  ExpectNoTempFiles();

  run = RunCommand({"targets", Text(two)});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.err, "tarvelline-cli: " + Text(two) +
                         " holds several WAD files: tnt.wad, psx/TNT.WAD; choose one with "
                         "--entry NAME\n");
  EXPECT_EQ(RunCommand({"targets", "--release", "tnt_v19", "--entry", "tnt.wad"}).code, 2);
}

}  // namespace
}  // namespace tvl::cli
