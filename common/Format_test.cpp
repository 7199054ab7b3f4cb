#include "common/Format.h"
#include "common/Windows1252.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(FormatText, FillsPlaceholdersInOrder) {
  EXPECT_EQ(FormatText(u"Cannot open file \"%s\". %s", {u"C:\\a.ini", u"Access is denied."}),
            u"Cannot open file \"C:\\a.ini\". Access is denied.");
  EXPECT_EQ(FormatText(u"I/O error %d", {DecimalText(105)}), u"I/O error 105");
  EXPECT_EQ(FormatText(u"100%% of %s", {u"x"}), u"100% of x");
  EXPECT_EQ(FormatText(u"%s and %s", {u"one"}), u"one and %s");  // missing argument stays visible
  EXPECT_EQ(FormatText(u"%s", {u"%s"}), u"%s");                 // inserted text is not rescanned
}

TEST(Windows1252, MapsTheHighControlRange) {
  EXPECT_EQ(DecodeWindows1252("a\x80\x9F\xE9\x81"), u"a\u20AC\u0178\u00E9\u0081");
}

}  // namespace
}  // namespace kelvane
