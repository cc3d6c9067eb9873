#include "cli/path_text.h"

#include <gtest/gtest.h>

namespace tvl::cli {
namespace {

TEST(PathTextTest, GivesTextForNamesTheSystemAllows) {
#ifdef _WIN32
  EXPECT_EQ(PathText(Path(L"C:\\Games\\doom2.wad")), "C:\\Games\\doom2.wad");
  EXPECT_EQ(PathText(Path(L"z\u00e9\u6587")), "z\xc3\xa9\xe6\x96\x87");
  EXPECT_EQ(PathText(Path(std::wstring{L'a', 0xd83d, 0xde00, L'b'})),
            "a\xf0\x9f\x98\x80"
            "b");
  // Lone surrogates, which Windows file names may hold, leading, trailing and reversed.
  EXPECT_EQ(PathText(Path(std::wstring{L'a', 0xd800, L'b'})),
            "a\xef\xbf\xbd"
            "b");
  EXPECT_EQ(PathText(Path(std::wstring{L'a', 0xdc00})), "a\xef\xbf\xbd");
  EXPECT_EQ(PathText(Path(std::wstring{0xdc00, 0xd800})), "\xef\xbf\xbd\xef\xbf\xbd");
  EXPECT_EQ(PathText(Path(std::wstring{L'a', 0xd800})), "a\xef\xbf\xbd");
#else
  EXPECT_EQ(PathText(Path("/games/doom2.wad")), "/games/doom2.wad");
  // Bytes that are no UTF-8 come back as they are, as the system names the file.
  EXPECT_EQ(PathText(Path("/games/\xff\xfe.wad")), "/games/\xff\xfe.wad");
#endif
}

}  // namespace
}  // namespace tvl::cli
