#include "vcdiff/code_table.h"

#include <random>

#include "gtest/gtest.h"
#include "vcdiff/address_cache.h"
#include "vcdiff/varint.h"

namespace tvl {
namespace {

struct Row {
  int opcode;
  CodeTableEntry entry;
};

TEST(DefaultCodeTable, MatchesTheRfcRows) {
  constexpr uint8_t kCopy8 = kCodeCopy + 8;
  const Row rows[] = {
      {0, {kCodeRun, 0, kCodeNoop, 0}},       {1, {kCodeAdd, 0, kCodeNoop, 0}},
      {2, {kCodeAdd, 1, kCodeNoop, 0}},       {19, {kCodeCopy, 0, kCodeNoop, 0}},
      {20, {kCodeCopy, 4, kCodeNoop, 0}},     {34, {kCodeCopy, 18, kCodeNoop, 0}},
      {35, {kCodeCopy + 1, 0, kCodeNoop, 0}}, {147, {kCopy8, 0, kCodeNoop, 0}},
      {163, {kCodeAdd, 1, kCodeCopy, 4}},     {164, {kCodeAdd, 1, kCodeCopy, 5}},
      {166, {kCodeAdd, 2, kCodeCopy, 4}},     {174, {kCodeAdd, 4, kCodeCopy, 6}},
      {175, {kCodeAdd, 1, kCodeCopy + 1, 4}}, {234, {kCodeAdd, 4, kCodeCopy + 5, 6}},
      {235, {kCodeAdd, 1, kCodeCopy + 6, 4}}, {246, {kCodeAdd, 4, kCopy8, 4}},
      {247, {kCodeCopy, 4, kCodeAdd, 1}},     {255, {kCopy8, 4, kCodeAdd, 1}},
  };
  for (const Row& row : rows) {
    const CodeTableEntry& entry = DefaultCodeTable[row.opcode];
    EXPECT_EQ(entry.type1, row.entry.type1) << row.opcode;
    EXPECT_EQ(entry.size1, row.entry.size1) << row.opcode;
    EXPECT_EQ(entry.type2, row.entry.type2) << row.opcode;
    EXPECT_EQ(entry.size2, row.entry.size2) << row.opcode;
  }
}

// What an encoder chooses, the decoder must read back, with both caches kept in step.
TEST(AddressCache, ChosenModesDecodeToTheAddress) {
  AddressCacheStorage encoder_storage, decoder_storage;
  AddressCache encoder = MakeAddressCache(encoder_storage);
  AddressCache decoder = MakeAddressCache(decoder_storage);
  std::mt19937_64 random(3);
  int modes_seen[kModeCount] = {};
  uint64_t here = 1000;
  for (int i = 0; i < 20000; ++i) {
    here += random() % 64;
    // Mostly near recent addresses, so that every mode gets chosen.
    const uint64_t address = random() % 4 == 0 ? random() % here : here - 1 - random() % 900;
    const AddressChoice choice = ChooseAddressMode(encoder, address, here);
    ASSERT_LT(choice.mode, kModeCount);
    ++modes_seen[choice.mode];
    if (IsSameMode(decoder, choice.mode)) {
      ASSERT_LT(choice.value, 256u);
    }
    ASSERT_EQ(DecodeAddress(decoder, choice.mode, choice.value, here), address);
    UpdateAddressCache(encoder, address);
    UpdateAddressCache(decoder, address);
  }
  for (int mode = 0; mode < kModeCount; ++mode) EXPECT_GT(modes_seen[mode], 0) << mode;
}

TEST(AddressCache, UpdateAndReset) {
  AddressCacheStorage storage;
  AddressCache cache = MakeAddressCache(storage);
  for (uint64_t address : {10, 20, 30, 40, 50}) UpdateAddressCache(cache, address);
  EXPECT_EQ(cache.near_slots[0], 50u);  // round robin over 4 slots
  EXPECT_EQ(cache.near_slots[1], 20u);
  EXPECT_EQ(DecodeAddress(cache, 2, 5, 100), 55u);
  EXPECT_EQ(DecodeAddress(cache, 6, 50, 100), 50u);
  EXPECT_EQ(DecodeAddress(cache, kModeHere, 30, 100), 70u);
  UpdateAddressCache(cache, 768 + 515);
  EXPECT_EQ(DecodeAddress(cache, 8, 3, 2000), 768u + 515);
  ResetAddressCache(cache);
  EXPECT_EQ(DecodeAddress(cache, 3, 7, 100), 7u);
  EXPECT_EQ(DecodeAddress(cache, 8, 3, 100), 0u);
}

TEST(Varint, SizesAndEncoding) {
  uint8_t out[kMaxVarintSize];
  EXPECT_EQ(WriteVarint(0, out), 1);
  EXPECT_EQ(WriteVarint(16383, out), 2);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0x7F);
  EXPECT_EQ(WriteVarint(~0ull, out), 10);
  EXPECT_EQ(out[0], 0x81);
  EXPECT_EQ(out[9], 0x7F);
  EXPECT_EQ(VarintSize((1ull << 63) - 1), 9);
  EXPECT_EQ(VarintSize(1ull << 63), 10);
}

}  // namespace
}  // namespace tvl
