// The program icon as the program carries it: an image with alpha for every common scale.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <set>

#include "resources/program_ids.h"

namespace tvl::testing {
namespace {

// The icon group's directory entry as a resource holds it (GRPICONDIRENTRY).
#pragma pack(push, 2)
struct GroupEntry {
  BYTE width;
  BYTE height;
  BYTE colours;
  BYTE reserved;
  WORD planes;
  WORD bits;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

struct Resource {
  const BYTE* data = nullptr;
  DWORD size = 0;
};

Resource FindProgramResource(int id, LPCWSTR type) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!found) return {};
  return {static_cast<const BYTE*>(LockResource(LoadResource(module, found))),
          SizeofResource(module, found)};
}

DWORD BigEndian(const BYTE* bytes) {
  return DWORD{bytes[0]} << 24 | DWORD{bytes[1]} << 16 | DWORD{bytes[2]} << 8 | bytes[3];
}

// The alpha values of a 32-bit icon bitmap (BITMAPINFOHEADER, then BGRA rows).
std::set<BYTE> AlphaValues(const Resource& image) {
  std::set<BYTE> values;
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data);
  const BYTE* pixels = image.data + header->biSize;
  for (LONG i = 0; i < header->biWidth * header->biWidth; ++i) values.insert(pixels[4 * i + 3]);
  return values;
}

TEST(IconTest, CarriesAnImageWithAlphaForEveryScale) {
  Resource group = FindProgramResource(IDI_PROGRAM, RT_GROUP_ICON);
  ASSERT_NE(group.data, nullptr);
  WORD count = reinterpret_cast<const WORD*>(group.data)[2];
  ASSERT_EQ(group.size, 6u + count * sizeof(GroupEntry));
  const auto* entries = reinterpret_cast<const GroupEntry*>(group.data + 6);

  std::set<int> sizes;
  for (WORD i = 0; i < count; ++i) {
    const GroupEntry& entry = entries[i];
    int size = entry.width ? entry.width : 256;
    sizes.insert(size);
    EXPECT_EQ(entry.height, entry.width);
    EXPECT_EQ(entry.bits, 32) << size;
    Resource image = FindProgramResource(entry.id, RT_ICON);
    ASSERT_NE(image.data, nullptr) << size;
    ASSERT_EQ(image.size, entry.bytes) << size;
    if (size == 256) {
      // PNG: signature, then the header chunk with width, height, depth 8 and colour type 6
      // (RGBA).
      ASSERT_GT(image.size, 33u);
      EXPECT_EQ(std::memcmp(image.data, "\x89PNG\r\n\x1a\n", 8), 0);
      EXPECT_EQ(std::memcmp(image.data + 12, "IHDR", 4), 0);
      EXPECT_EQ(BigEndian(image.data + 16), 256u);
      EXPECT_EQ(BigEndian(image.data + 20), 256u);
      EXPECT_EQ(image.data[24], 8);
      EXPECT_EQ(image.data[25], 6);
      continue;
    }
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data);
    EXPECT_EQ(header->biWidth, size);
    EXPECT_EQ(header->biHeight, 2 * size);  // colour and mask
    EXPECT_EQ(header->biBitCount, 32);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
    int mask_stride = (size + 31) / 32 * 4;
    EXPECT_EQ(image.size, header->biSize + 4u * size * size + mask_stride * size) << size;
    // Clear corners, a solid middle, and smoothed edges between.
    std::set<BYTE> alpha = AlphaValues(image);
    EXPECT_TRUE(alpha.count(0)) << size;
    EXPECT_TRUE(alpha.count(255)) << size;
    EXPECT_GT(alpha.size(), 3u) << size;
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 48, 64, 256}));
  // As the main window takes it.
  EXPECT_NE(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, 0, 0,
                       LR_DEFAULTSIZE | LR_SHARED),
            nullptr);
}

}  // namespace
}  // namespace tvl::testing
