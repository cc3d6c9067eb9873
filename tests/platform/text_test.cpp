#include "platform/text.h"

#include <gtest/gtest.h>

namespace tvl {
namespace {

TEST(Utf16ToUtf8Test, EncodesEveryLengthAndPairedSurrogates) {
  EXPECT_EQ(Utf16ToUtf8(u""), "");
  EXPECT_EQ(Utf16ToUtf8(u"doom2.wad"), "doom2.wad");
  EXPECT_EQ(Utf16ToUtf8(u"z\u00e9\u6587\uffff"), "z\xc3\xa9\xe6\x96\x87\xef\xbf\xbf");
  // U+1F600 and U+10FFFF, the first and last of their pairs' ranges around them.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xd83d, 0xde00, u'b'}),
            "a\xf0\x9f\x98\x80"
            "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xd800, 0xdc00, 0xdbff, 0xdfff}),
            "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf");
  EXPECT_EQ(Utf16ToUtf8(std::u16string_view(u"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf16ToUtf8Test, LoneSurrogatesBecomeReplacementCharacters) {
  const std::string kReplacement = "\xef\xbf\xbd";
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xd800, u'b'}), "a" + kReplacement + "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xdc00}), "a" + kReplacement);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xdbff}), "a" + kReplacement);
  // Reversed, and two leading halves: no pair is formed, and the unit after one is kept.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xdc00, 0xd800}), kReplacement + kReplacement);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xd800, 0xd83d, 0xde00}), kReplacement + "\xf0\x9f\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xdfff}), kReplacement);
}

TEST(NarrowTest, KeepsAsciiAndMarksEverythingElse) {
  EXPECT_EQ(Narrow(u"doom2_v19_to_doom2_xbox"), "doom2_v19_to_doom2_xbox");
  EXPECT_EQ(Narrow(u"\u007f\u0080\u00e9\u6587"), "\x7f???");
  EXPECT_EQ(Narrow(std::u16string{0xd83d, 0xde00}), "??");
  EXPECT_EQ(Narrow(u""), "");
}

}  // namespace
}  // namespace tvl
