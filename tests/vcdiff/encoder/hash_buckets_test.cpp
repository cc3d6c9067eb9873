#include "vcdiff/encoder/hash_buckets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tvl {
namespace {

// The positions filed under the same bytes as `pos`, in ascending order.
std::vector<uint32_t> Candidates(const HashBuckets& index, const std::string& data, size_t pos) {
  const HashKey key = KeyAt(index, reinterpret_cast<const uint8_t*>(data.data() + pos));
  const HashSlot* bucket = BucketFor(index, key);
  std::vector<uint32_t> out;
  for (uint32_t i = 0; i < kBucketWays; ++i) {
    if (bucket[i].position != kNoPosition && bucket[i].check == key.check) {
      out.push_back(bucket[i].position);
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(HashBucketsTest, KeepsTheNewestPositions) {
  std::string data;
  for (int i = 0; i < 20; ++i) {
    data += "wxyz";
    data.push_back(static_cast<char>('A' + i));
  }
  HashBuckets index;
  InitHashBuckets(index, 4, 10);
  InsertRange(index, reinterpret_cast<const uint8_t*>(data.data()), data.size(), 0, data.size());
  const std::vector<uint32_t> found = Candidates(index, data, 0);
  ASSERT_EQ(found.size(), kBucketWays);
  for (uint32_t i = 0; i < kBucketWays; ++i) EXPECT_EQ(found[i], (20 - kBucketWays + i) * 5);
}

TEST(HashBucketsTest, LeavesOutPositionsInsideRuns) {
  const std::string data = std::string(200, '\0') + "tail";
  HashBuckets index;
  InitHashBuckets(index, 4, 10);
  InsertRange(index, reinterpret_cast<const uint8_t*>(data.data()), data.size(), 0, data.size());
  // Only the run's last position whose four bytes are all zero is filed.
  EXPECT_EQ(Candidates(index, data, 0), std::vector<uint32_t>({196}));
  ClearHashBuckets(index);
  EXPECT_TRUE(Candidates(index, data, 0).empty());
}

}  // namespace
}  // namespace tvl
