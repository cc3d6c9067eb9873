// Records that scripts read: a file name of any bytes keeps its TAB line whole, and --json gives
// JSON Lines that a strict reader takes back to the name's exact bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "catalogue/catalogue.h"
#include "cli/record.h"
#include "tests/cli/cli_files.h"
#include "tests/cli/cli_run.h"
#include "tests/cli/json_reader.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"

namespace tvl::cli {
namespace {

using testing::JsonReader;
using testing::JsonValue;

// The test's own undoing of the TAB escapes; "(bad escape)" where a backslash starts none.
std::string Unescape(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      out += field[i];
      continue;
    }
    const char next = i + 1 < field.size() ? field[++i] : '?';
    const size_t k = std::string_view("\\tnr").find(next);
    if (k == std::string_view::npos) return "(bad escape)";
    out += "\\\t\n\r"[k];
  }
  return out;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == '\t') {
      fields.emplace_back();
    } else {
      fields.back().push_back(c);
    }
  }
  return fields;
}

// Bytes a name may hold on POSIX, valid UTF-8 or not, against both writers.
TEST(RecordTest, EveryByteStringSurvivesBothForms) {
  std::string controls;
  for (int c = 1; c < 0x20; ++c) controls += static_cast<char>(c);
  controls += '\x7f';
  for (const std::string& text : std::vector<std::string>{
           "", "plain.wad", "quote\" back\\slash /", controls, std::string("nul\0in", 6),
           "\xc3\xbcn\xc3\xaf \xe2\x82\xac \xf0\x9d\x84\x9e",  // ü ï € and a 4-byte sign
           "\xff", "\x80",
           "a\x80"
           "b",
           "\xc0\xaf",                          // stray, overlong
           "\xed\xa0\x80", "\xf4\x90\x80\x80",  // a surrogate, past U+10FFFF
           "\xe2\x82",
           "\xf0\x9f\x98"
           "x",
           "\xc3"}) {  // cut short
    SCOPED_TRACE(::testing::PrintToString(text));
    const std::string json = JsonString(text);
    std::optional<JsonValue> value = JsonReader::Parse(json);
    ASSERT_TRUE(value) << json;
    EXPECT_EQ(value->kind, JsonValue::kString);
    EXPECT_EQ(value->text, text);
    const std::string tab = EscapeTabField(text);
    EXPECT_EQ(tab.find_first_of("\t\n\r"), std::string::npos);
    if (kEscapesBackslash || text.find('\\') == std::string_view::npos) {
      EXPECT_EQ(Unescape(tab), text);
    }
  }
  EXPECT_EQ(JsonString("\xff\xc3\xa9\t"), "\"\\udcff\xc3\xa9\\t\"");
  EXPECT_EQ(EscapeTabField("a\\t\tb\r\n"),
            kEscapesBackslash ? "a\\\\t\\tb\\r\\n" : "a\\t\\tb\\r\\n");
  // A Windows path reads as it is written.
  if (!kEscapesBackslash) {
    EXPECT_EQ(EscapeTabField("C:\\tmp\\new.wad"), "C:\\tmp\\new.wad");
  }
  // The reader is strict: what it refuses, the writer must never make.
  for (std::string_view bad : {"\"a", "\"\x01\"", "\"\\x\"", "\"\\udc00\"", "\"\\ud800\"",
                               "\"\xff\"", "{\"a\":1,\"a\":2}", "{\"a\":1}x", "01", "[1,]"}) {
    EXPECT_FALSE(JsonReader::Parse(bad)) << bad;
  }
}

std::vector<uint8_t> NotAWad() { return {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'd'}; }

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitIwadCatalogue();
    std::filesystem::create_directories(folder_);
#ifdef _WIN32
    // Windows names can't hold TAB, LF, CR, a backslash or bytes that aren't text.
    const std::vector<std::string> names = {"\xc3\xbcn\xc3\xaf\xe2\x82\xac.wad", "two  spaces.wad"};
#else
    const std::vector<std::string> names = {"tab\tname.wad",   "new\nline.wad",
                                            "car\rreturn.wad", "back\\slash.wad",
                                            "\"quoted\".wad",  "\xc3\xbcn\xc3\xaf\xe2\x82\xac.wad",
                                            "bad\xff\xfe.wad"};
#endif
    for (const std::string& name : names) {
      const Path path = folder_ / PathFromArg(name);
      if (paths_.empty()) {
        testing::WriteFileBytes(path, Release(u"tnt_v19"));
        release_ = PathToUtf8(path);
      } else {
        testing::WriteFileBytes(path, NotAWad());
      }
      paths_.insert(PathToUtf8(path));
    }
  }

  // What a record's file field names, in each form.
  static std::string TabFile(const std::string& line, size_t fields) {
    std::vector<std::string> parts = Fields(line);
    EXPECT_EQ(parts.size(), fields) << line;
    if (parts.size() <= 4) return "";
    return kEscapesBackslash ? Unescape(parts[4]) : parts[4];
  }

  testing::ScratchDir dir_;
  Path folder_ = dir_ / "games";
  std::set<std::string> paths_;  // UTF-8, or the bytes POSIX holds
  std::string release_;          // the one that is tnt_v19
};

TEST_F(RecordsTest, ScanAndIdentifyKeepEveryNameWhole) {
  const std::string known = std::to_string(FindIwadByReleaseId(u"tnt_v19"));
  Args identify = {"identify", "--explain"};
  identify.insert(identify.end(), paths_.begin(), paths_.end());

  for (const Args& args : {Args{"scan", "--explain", PathToUtf8(folder_)}, identify}) {
    SCOPED_TRACE(args[0]);
    const size_t fields = args[0] == "scan" ? 7 : 6;
    CliRun run = RunCommand(args);
    EXPECT_EQ(run.code, 1) << "unknown files among them";
    std::set<std::string> files;
    for (const std::string& line : Lines(run.out)) {
      const std::string file = TabFile(line, fields);
      files.insert(file);
      EXPECT_EQ(line.substr(0, line.find('\t')), file == release_ ? known : "-1") << line;
    }
    EXPECT_EQ(files, paths_);

    Args json = args;
    json.insert(json.begin() + 1, "--json");
    run = RunCommand(json);
    files.clear();
    for (const std::string& line : Lines(run.out)) {
      std::optional<JsonValue> record = JsonReader::Parse(line);
      ASSERT_TRUE(record) << line;
      std::vector<std::string> keys = {"index", "sha1", "id", "title", "file", "entry", "explain"};
      if (args[0] == "scan") keys.insert(keys.end() - 1, "rule");
      EXPECT_EQ(record->Keys(), keys) << line;
      const JsonValue* file = record->Find("file");
      ASSERT_TRUE(file && file->kind == JsonValue::kString) << line;
      files.insert(file->text);
      EXPECT_EQ(record->Find("entry")->kind, JsonValue::kNull) << "no archive among them";
      const bool is_release = file->text == release_;
      EXPECT_EQ(record->Find("index")->kind, JsonValue::kNumber);
      EXPECT_EQ(record->Find("index")->text, is_release ? known : "-1");
      EXPECT_EQ(record->Find("id")->kind, is_release ? JsonValue::kString : JsonValue::kNull);
      EXPECT_EQ(record->Find("title")->kind, is_release ? JsonValue::kString : JsonValue::kNull);
      EXPECT_EQ(record->Find("explain")->text, is_release ? "known release" : "not a WAD file");
      EXPECT_EQ(record->Find("sha1")->text.size(), 40u);
    }
    EXPECT_EQ(files, paths_);
  }

  // convert's line names its output the same way.
  const Path output = folder_ / PathFromArg(*paths_.begin() + ".out");
  CliRun run =
      RunCommand({"convert", release_, "--to", "tnt_psnusa", "--output", PathToUtf8(output)});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "tnt_v19\ttnt_psnusa\t" + EscapeTabField(PathToUtf8(output)) + "\n");
}

TEST_F(RecordsTest, ListAndTargetsGiveTheSameRecordsInJson) {
  struct Case {
    Args args;
    std::vector<std::string> keys;
  };
  for (const Case& c : std::vector<Case>{
           {{"list"}, {"index", "game_id", "version_id", "flags", "sha1", "title"}},
           {{"targets", "--release", "tnt_psnusa"}, {"index", "id", "title", "route", "patches"}},
           {{"targets", "--release", "freedoom1_v0.9"},
            {"index", "id", "title", "route", "patches"}},
       }) {
    SCOPED_TRACE(c.args[c.args.size() - 1]);
    std::vector<std::string> tab = Lines(RunCommand(c.args).out);
    Args json_args = c.args;
    json_args.push_back("--json");
    CliRun json = RunCommand(json_args);
    ASSERT_EQ(json.code, 0) << json.err;
    std::vector<std::string> lines = Lines(json.out);
    ASSERT_EQ(lines.size(), tab.size());
    ASSERT_FALSE(lines.empty());
    for (size_t i = 0; i < lines.size(); ++i) {
      std::optional<JsonValue> record = JsonReader::Parse(lines[i]);
      ASSERT_TRUE(record) << lines[i];
      ASSERT_EQ(record->Keys(), c.keys);
      // Field by field what the TAB line says: "-" is null, a route is its names.
      std::vector<std::string> fields = Fields(tab[i]);
      ASSERT_EQ(fields.size(), c.keys.size());
      for (size_t k = 0; k < fields.size(); ++k) {
        const JsonValue& value = record->members[k].second;
        std::string text = value.text;
        if (value.kind == JsonValue::kNull) text = "-";
        if (value.kind == JsonValue::kArray) {
          text.clear();
          for (const JsonValue& item : value.items) text += (text.empty() ? "" : ",") + item.text;
        }
        EXPECT_EQ(text, fields[k]) << c.keys[k] << " in " << lines[i];
      }
    }
  }
  EXPECT_EQ(Lines(RunCommand({"list", "--json"}).out).size(), size_t{kIwadCount});
  CliRun extra = RunCommand({"list", "--json", "more"});
  EXPECT_EQ(extra.code, 2);
}

}  // namespace
}  // namespace tvl::cli
