#include "common/text/Windows1252.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(Windows1252, MapsTheHighControlRange) {
  EXPECT_EQ(DecodeWindows1252("a\x80\x9F\xE9\x81"), u"a\u20AC\u0178\u00E9\u0081");
}

TEST(Windows1252, EncodesWhatTheCodePageHolds) {
  EXPECT_EQ(EncodeWindows1252(u"a\u20AC\u00E9\u0178"), std::optional<std::string>("a\x80\xE9\x9F"));
  EXPECT_EQ(EncodeWindows1252(u"\u0416"), std::nullopt);  // Cyrillic has no form here
  EXPECT_EQ(EncodeWindows1252Lossy(u"x\u0416y"), "x?y");
}

TEST(Windows1252, ComparesFoldedBelow256AndExactlyAbove) {
  EXPECT_TRUE(EqualsIgnoreCase(u"Kelvane.EXE", u"kelvane.exe"));
  EXPECT_TRUE(EqualsIgnoreCase(u"\u00C9T\u00C9", u"\u00E9t\u00E9"));
  EXPECT_FALSE(EqualsIgnoreCase(u"\u00D7", u"\u00F7"));     // multiplication and division signs
  EXPECT_FALSE(EqualsIgnoreCase(u"\u0416", u"\u0436"));     // from 256 up: exact
  EXPECT_FALSE(EqualsIgnoreCase(u"ab", u"abc"));
  EXPECT_TRUE(StartsWithIgnoreCase(u"SETTINGS.ini", u"settings"));
  EXPECT_FALSE(StartsWithIgnoreCase(u"set", u"settings"));
}

}  // namespace
}  // namespace kelvane
