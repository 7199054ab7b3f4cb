#include "common/text/Format.h"

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

}  // namespace
}  // namespace kelvane
