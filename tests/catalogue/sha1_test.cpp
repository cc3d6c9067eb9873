#include "catalogue/sha1.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "catalogue/identify.h"
#include "catalogue/sha1_blocks.h"
#include "tests/test_files.h"

namespace tvl {
namespace {

// The compression path the tests of one parameter run on; null for the one Sha1Init picks.
Sha1BlocksFn g_path = nullptr;

std::string HashPieces(const std::vector<uint8_t>& data, const std::vector<size_t>& pieces) {
  Sha1Context context;
  Sha1Init(&context);
  if (g_path) Sha1InitWith(&context, g_path);
  size_t at = 0;
  for (size_t piece : pieces) {
    Sha1Update(&context, data.data() + at, piece);
    at += piece;
  }
  Sha1Update(&context, data.data() + at, data.size() - at);
  uint8_t digest[kSha1DigestSize];
  Sha1Final(&context, digest);
  return FormatDigest(digest);
}

std::string Hash(std::string_view text) {
  return HashPieces(std::vector<uint8_t>(text.begin(), text.end()), {});
}

// Every test runs once per compression path this machine has.
class Sha1Test : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::string(GetParam()) == "sha-extensions") {
      if (!Sha1BlocksShaExtensions()) GTEST_SKIP() << "no SHA extensions on this CPU";
      g_path = Sha1BlocksShaExtensions();
    } else {
      g_path = Sha1BlocksPortable;
    }
  }
  void TearDown() override { g_path = nullptr; }
};

TEST_P(Sha1Test, MatchesTheFipsExamples) {
  EXPECT_EQ(Hash(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(Hash("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(Hash("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(Hash("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopq"
                 "klmnopqrlmnopqrsmnopqrstnopqrstu"),
            "a49b2446a02c645bf419f995b67091253a04a259");
}

TEST_P(Sha1Test, HashesAMillionAsFedInOddPieces) {
  std::vector<uint8_t> data(1000000, 'a');
  const std::string expected = "34aa973cd4c4daa4f61eeb2bdbad27316534016f";
  EXPECT_EQ(HashPieces(data, {}), expected);
  std::vector<size_t> pieces;
  for (size_t total = 0, n = 0; total + n < data.size(); total += n, n = (n * 7 + 13) % 1000) {
    pieces.push_back(n);
  }
  EXPECT_EQ(HashPieces(data, pieces), expected);
}

TEST_P(Sha1Test, PaddingBoundariesAgreeWithOneShotHashing) {
  // Lengths around the 56-byte padding limit and block edges, each split at every point.
  std::vector<uint8_t> data = testing::RandomBytes(200, 7);
  for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 200u}) {
    std::vector<uint8_t> slice(data.begin(), data.begin() + length);
    std::string whole = HashPieces(slice, {});
    for (size_t split = 0; split <= length; ++split) {
      ASSERT_EQ(HashPieces(slice, {split, 0}), whole) << length << " split at " << split;
    }
  }
}

TEST_P(Sha1Test, FinalWipesTheContext) {
  Sha1Context context;
  Sha1Init(&context);
  Sha1Update(&context, "abc", 3);
  uint8_t digest[kSha1DigestSize];
  Sha1Final(&context, digest);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&context);
  for (size_t i = 0; i < sizeof context; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

INSTANTIATE_TEST_SUITE_P(Paths, Sha1Test, ::testing::Values("portable", "sha-extensions"));

TEST(Sha1PathsTest, AgreeOnRandomDataInRandomPieces) {
  Sha1BlocksFn fast = Sha1BlocksShaExtensions();
  if (!fast) GTEST_SKIP() << "no SHA extensions on this CPU";
  std::mt19937 random(12345);
  for (int round = 0; round < 40; ++round) {
    std::vector<uint8_t> data = testing::RandomBytes(random() % 20000, random());
    std::vector<size_t> pieces;
    for (size_t total = 0;;) {
      size_t n = random() % 300;
      if (total + n > data.size()) break;
      pieces.push_back(n), total += n;
    }
    g_path = Sha1BlocksPortable;
    std::string portable = HashPieces(data, pieces);
    g_path = fast;
    std::string extensions = HashPieces(data, pieces);
    ASSERT_EQ(portable, extensions) << "round " << round << ", " << data.size() << " bytes";
  }
  g_path = nullptr;
}

}  // namespace
}  // namespace tvl
