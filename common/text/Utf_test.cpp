#include "common/text/Utf.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(Utf, RoundTripsAllPlanes) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'a', 0xE9, 0x20AC, 0xD83D, 0xDE00, u'z'}));
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf, InvalidInputBecomesReplacementCharacters) {
  struct Case { std::string in; std::u16string out; };
  const Case cases[] = {
      {"\xFF", u"\uFFFD"},
      {"a\xC3", u"a\uFFFD"},               // truncated sequence
      {"\xC0\xAF", u"\uFFFD"},             // overlong form
      {"\xED\xA0\x80x", u"\uFFFDx"},       // encoded surrogate
      {"\xE2\x82z", u"\uFFFDz"},           // sequence cut by a plain byte
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToUtf16(c.in), c.out) << c.in;
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
}

TEST(Utf, Utf16BytesInBothOrders) {
  EXPECT_EQ(Utf16FromBytes(std::string("a\0\xAC\x20", 4), false), u"a\u20AC");
  EXPECT_EQ(Utf16FromBytes(std::string("\0a\x20\xAC\0", 5), true), u"a\u20AC");
}

}  // namespace
}  // namespace kelvane
