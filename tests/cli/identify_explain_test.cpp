// identify --explain: identify's lines with one more field saying what each file is.
#include <gtest/gtest.h>

#include "tests/cli/cli_files.h"
#include "tests/cli/cli_run.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"

namespace tvl::cli {
namespace {

TEST(IdentifyExplainTest, AddsWhatEachFileIsAsTheLastField) {
  testing::ScratchDir dir;
  const Path known = testing::WriteSyntheticRelease(dir.path(), u"doom2_v19", "doom2.wad");
  // The known release with one lump's byte changed: the same shape, another digest.
  const std::vector<uint8_t> bytes = Release(u"doom2_v19");
  std::vector<uint8_t> changed = bytes;
  changed[100] ^= 1;
  const Path modified = dir / "doom2-mod.wad";
  testing::WriteFileBytes(modified, changed);
  const Path cut = dir / "cut.wad";
  testing::WriteFileBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 50000));
  const Path empty = dir / "empty.wad";
  testing::WriteFileBytes(empty, {});
  const Path missing = dir / "missing.wad";

  CliRun plain = RunCommand({"identify", Text(known), Text(modified)});
  CliRun run = RunCommand({"identify", Text(known), Text(modified), "--explain", Text(cut),
                           Text(empty), Text(missing)});
  EXPECT_EQ(run.code, 1);
  std::vector<std::string> lines = Lines(run.out), plain_lines = Lines(plain.out);
  ASSERT_EQ(lines.size(), 4u) << run.out;
  ASSERT_EQ(plain_lines.size(), 2u);
  // The columns identify always prints stay as they are.
  EXPECT_EQ(lines[0], plain_lines[0] + "\tknown release");
  EXPECT_EQ(lines[1], plain_lines[1] +
                          "\tIWAD of the Doom II family (739 lumps, 24 maps), release not in the "
                          "catalogue: a modified or newer build");
  // From the file's name on: the fields after it.
  auto from = [](const std::string& line, const std::string& file) {
    size_t at = line.find(file);
    return at == std::string::npos ? line : line.substr(at);
  };
  EXPECT_EQ(from(lines[2], Text(cut)), Text(cut) + "\ttruncated WAD: directory past end of file");
  EXPECT_EQ(from(lines[3], Text(empty)), Text(empty) + "\tempty file");
  // A file that cannot be read is still reported on stderr alone.
  EXPECT_NE(run.err.find(Text(missing)), std::string::npos);
  EXPECT_EQ(Lines(run.err).size(), 1u);
}

}  // namespace
}  // namespace tvl::cli
