// A program built from an empty patch folder (the repository's own) has a directory that
// misses every name.
#include <gtest/gtest.h>

#include "patches/patch_directory.h"
#include "patches/patch_names.h"

namespace tvl {
namespace {

TEST(EmptyPatchStoreTest, MissesEveryName) {
  for (const char16_t* name : kPatchNames) {
    const uint8_t* data = reinterpret_cast<const uint8_t*>(name);
    uint32_t length = 1;
    EXPECT_EQ(FindPatch(name, &data, &length), 0);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(length, 0u);
  }
}

}  // namespace
}  // namespace tvl
