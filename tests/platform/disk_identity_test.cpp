#include "platform/disk_identity.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"

namespace tvl {
namespace {

DiskIdentity IdentityOf(const Path& path) {
  DiskIdentity identity;
  EXPECT_TRUE(GetDiskIdentity(path, &identity)) << path.string();
  return identity;
}

TEST(DiskIdentityTest, OneFileByEveryWayThereIsOneIdentity) {
  testing::ScratchDir dir;
  std::filesystem::create_directories(dir / "sub");
  testing::WriteFileText(dir / "a.wad", "a");
  testing::WriteFileText(dir / "b.wad", "a");  // same bytes, another file

  const DiskIdentity a = IdentityOf(dir / "a.wad");
  EXPECT_EQ(IdentityOf(dir / "sub" / ".." / "a.wad"), a);
  EXPECT_NE(IdentityOf(dir / "b.wad"), a);
  EXPECT_NE(IdentityOf(dir / "sub"), IdentityOf(dir.path()));
  EXPECT_EQ(IdentityOf(dir / "sub" / ".."), IdentityOf(dir.path()));

  std::error_code error;
  std::filesystem::create_hard_link(dir / "a.wad", dir / "hard.wad", error);
  if (!error) {
    EXPECT_EQ(IdentityOf(dir / "hard.wad"), a);
  }
  std::filesystem::create_directory_symlink(dir / "sub", dir / "link", error);
  if (!error) {
    EXPECT_EQ(IdentityOf(dir / "link"), IdentityOf(dir / "sub"));
  }

  DiskIdentity untouched{1, 2};
  EXPECT_FALSE(GetDiskIdentity(dir / "missing", &untouched));
  EXPECT_EQ(untouched, (DiskIdentity{1, 2}));
}

}  // namespace
}  // namespace tvl
