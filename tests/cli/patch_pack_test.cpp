// Patch packs: build-store --pack makes one, and convert and targets read it wherever a patches
// folder is read, on the synthetic build, whose store lacks the tnt_psneur patches on purpose.
#include <gtest/gtest.h>

#include "catalogue/catalogue.h"
#include "patches/patch_folder.h"
#include "tests/cli/cli_files.h"
#include "tests/cli/cli_run.h"
#include "tests/synthetic/synthetic_releases.h"
#include "tests/test_files.h"
#include "zip/zip_writer.h"
#include "zip/zipped_file.h"

namespace tvl::cli {
namespace {

constexpr char kUp[] = "tnt_v19_to_tnt_psneur";
constexpr char kDown[] = "tnt_psneur_to_tnt_v19";

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
}

void Put32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A pack of one entry holding `patch`, then changed as a hostile or damaged one would be.
enum class Harm { kNone, kFlipData, kDeflate64, kHuge };
std::vector<uint8_t> OneEntryPack(const std::string& entry, const std::vector<uint8_t>& patch,
                                  Harm harm) {
  ZipWriter writer;
  EXPECT_TRUE(writer.Add(entry, patch));
  std::vector<uint8_t> pack = writer.Finish();
  const size_t directory = Get32(pack, pack.size() - 6);  // the end record's directory offset
  const size_t data = 30 + entry.size();
  switch (harm) {
    case Harm::kNone:
      break;
    case Harm::kFlipData:
      pack[data + (directory - data) / 2] ^= 0x20;
      break;
    case Harm::kDeflate64:
      pack[8] = pack[directory + 10] = 9;
      break;
    case Harm::kHuge:
      Put32(&pack, directory + 24, static_cast<uint32_t>(kMaxFolderPatchSize + 1));
      break;
  }
  return pack;
}

class PatchPackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(releases_);
    std::filesystem::create_directories(work_);
    testing::WriteSyntheticRelease(releases_, u"tnt_v19", "tnt.wad");
    testing::WriteSyntheticRelease(releases_, u"tnt_psneur", "tnt_psneur.wad");
    const CliRun run = BuildPack(pack_);
    ASSERT_EQ(run.code, 0) << run.err;
    input_ = testing::WriteSyntheticRelease(work_, u"tnt_v19", "tnt.wad");
  }

  CliRun BuildPack(const Path& pack) {
    return RunCommand({"build-store", "--releases", releases_.string(), "--pack", pack.string()});
  }

  CliRun Convert(const Path& patches, const char* to = "tnt_psneur") {
    return RunCommand({"convert", input_.string(), "--to", to, "--output", output_.string(),
                       "--patches", patches.string()});
  }

  testing::ScratchDir dir_;
  Path temp_ = dir_ / "temp";
  testing::ScopedTempFolder temp_folder_{temp_};
  Path releases_ = dir_ / "releases";
  Path work_ = dir_ / "work";
  Path pack_ = dir_ / "tnt.zip";
  Path input_, output_ = work_ / "out.wad";
};

TEST_F(PatchPackTest, BuildStoreWritesTheSamePackEveryTimeInNameOrder) {
  const Path again = dir_ / "again.zip";
  const CliRun run = BuildPack(again);
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("packed\t" + again.string() + "\t2\t"), std::string::npos) << run.out;
  EXPECT_EQ(testing::ReadFileBytes(again), testing::ReadFileBytes(pack_));

  ZipDirectory directory;
  ZipReport report;
  ASSERT_TRUE(ReadZipFile(pack_, &directory, &report));
  ASSERT_EQ(directory.entries.size(), 2u);
  EXPECT_EQ(directory.entries[0].name, std::string(kDown) + ".vcdiff");
  EXPECT_EQ(directory.entries[1].name, std::string(kUp) + ".vcdiff");
  for (const ZipEntry& entry : directory.entries) {
    EXPECT_EQ(entry.method, kZipDeflate) << entry.name;
    EXPECT_LT(entry.compressed_size, entry.size) << entry.name;
  }
  EXPECT_EQ(BuildPack(dir_ / "no" / "such" / "folder.zip").code, 1);
}

TEST_F(PatchPackTest, APackConvertsWhereverAFolderWould) {
  // The pack itself, and the pack inside a patches folder.
  const Path folder = dir_ / "patches";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(pack_, folder / "shared.ZIP");
  for (const Path& patches : {pack_, folder}) {
    SCOPED_TRACE(patches.string());
    CliRun run = Convert(patches);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(testing::ReadFileBytes(output_), Release(u"tnt_psneur"));
    std::filesystem::remove(output_);

    run = RunCommand({"targets", input_.string(), "--patches", patches.string()});
    ASSERT_EQ(run.code, 0) << run.err;
    const int psneur = FindIwadByReleaseId(u"tnt_psneur");
    bool seen = false;
    for (const std::string& line : Lines(run.out)) {
      if (line.rfind(std::to_string(psneur) + "\t", 0) != 0) continue;
      EXPECT_EQ(line.substr(line.rfind('\t')), "\tpresent") << line;
      seen = true;
    }
    EXPECT_TRUE(seen) << run.out;
  }
  EXPECT_EQ(testing::FileNames(temp_).size(), 0u);
}

// The order of sources: built in, then the folder's own file, then its packs by name.
TEST_F(PatchPackTest, ABuiltInPatchAndALooseFileWinOverAPack) {
  const Path folder = dir_ / "patches";
  std::filesystem::create_directories(folder);
  const std::vector<uint8_t> junk = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'a', 't', 'c', 'h'};
  // A pack whose entries are all junk, sorted first, beside the good one.
  testing::WriteFileBytes(folder / "a.zip",
                          OneEntryPack(std::string(kUp) + ".vcdiff", junk, Harm::kNone));
  std::filesystem::copy_file(pack_, folder / "b.zip");
  RunTimePatch found;
  ASSERT_TRUE(FindRunTimePatch(folder, u"tnt_v19_to_tnt_psneur", &found));
  EXPECT_EQ(found.file, folder / "a.zip");

  // The loose file beats both packs; a built-in patch beats a pack of junk.
  testing::WriteFileBytes(folder / "tnt_v19_to_tnt_psneur.vcdiff",
                          testing::ReadFileBytes(dir_ / "releases" / "tnt.wad"));
  ASSERT_TRUE(FindRunTimePatch(folder, u"tnt_v19_to_tnt_psneur", &found));
  EXPECT_EQ(found.file, folder / "tnt_v19_to_tnt_psneur.vcdiff");
  EXPECT_TRUE(found.entry.empty());
  testing::WriteFileBytes(folder / "a.zip",
                          OneEntryPack("tnt_v19_to_tnt_psnusa.vcdiff", junk, Harm::kNone));
  EXPECT_EQ(LocatePatch(u"tnt_v19_to_tnt_psnusa", folder), PatchOrigin::kBuiltIn);
  const CliRun run = Convert(folder, "tnt_psnusa");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(testing::ReadFileBytes(output_), Release(u"tnt_psnusa"));
}

// A pack is untrusted like a folder file: each fault fails the conversion with the entry named,
// no output and nothing left behind.
TEST_F(PatchPackTest, HarmedPacksFailCleanlyAndNameTheEntry) {
  ZipDirectory directory;
  ZipReport report;
  ASSERT_TRUE(ReadZipFile(pack_, &directory, &report));
  std::vector<uint8_t> patch;
  ASSERT_EQ(ReadRunTimePatch({pack_, std::string(kUp) + ".vcdiff"}, &patch),
            FolderPatchStatus::kRead);
  const std::string entry = std::string("sub/") + kUp + ".VCDIFF";
  const Path harmed = dir_ / "harmed.zip";
  const std::string prefix = "tarvelline-cli: patch " + std::string(kUp) +
                             " failed: " + (harmed / Path(entry)).string() + ": ";
  struct Case {
    Harm harm;
    std::string error;
  };
  for (const Case& c : std::vector<Case>{
           {Harm::kFlipData, "damaged in its patch pack\n"},
           {Harm::kDeflate64,
            "stored in its patch pack with compression or encryption Tarvelline can't read; "
            "re-zip the pack with ordinary deflate and no password\n"},
           {Harm::kHuge, "larger than any patch (over 256 MiB), not read\n"},
       }) {
    SCOPED_TRACE(c.error);
    testing::WriteFileBytes(harmed, OneEntryPack(entry, patch, c.harm));
    const CliRun run = Convert(harmed);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, prefix + c.error);
    EXPECT_FALSE(std::filesystem::exists(output_));
    EXPECT_EQ(testing::FileNames(work_).size(), 1u);
    EXPECT_EQ(testing::FileNames(temp_).size(), 0u);
  }
  // The same entry unharmed, in a folder of the pack and in capitals, converts.
  testing::WriteFileBytes(harmed, OneEntryPack(entry, patch, Harm::kNone));
  const CliRun run = Convert(harmed);
  EXPECT_EQ(run.code, 0) << run.err;
}

TEST_F(PatchPackTest, APatchesArgumentThatIsNeitherFolderNorPackIsAnError) {
  const Path not_zip = input_;
  const Path cut = dir_ / "cut.zip";
  std::vector<uint8_t> bytes = testing::ReadFileBytes(pack_);
  bytes.resize(bytes.size() - 10);
  testing::WriteFileBytes(cut, bytes);
  for (const auto& [patches, error] : std::vector<std::pair<Path, std::string>>{
           {dir_ / "nowhere", (dir_ / "nowhere").string() + ": not a folder or a patch pack"},
           {not_zip, not_zip.string() + ": not a folder or a patch pack"},
           {cut,
            cut.string() + " is a damaged zip archive: its directory is missing or can't be read"},
       }) {
    const CliRun run = Convert(patches);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "tarvelline-cli: --patches " + error + "\n");
    EXPECT_FALSE(std::filesystem::exists(output_));
  }
}

}  // namespace
}  // namespace tvl::cli
