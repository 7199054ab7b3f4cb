#include "reporter/plugins/lists/ListText.h"

#include <gtest/gtest.h>

using namespace ruvex;

TEST(ListText, SortOrder) {
  struct TCase {
    std::u16string a, b;
    int sign;
  } cases[] = {
      {u"Ports", u"ports", 0},       {u"Disk", u"disks", -1},    {u"\u00c4pfel", u"\u00e4PFEL", 0},
      {u"Zebra", u"apple", 1},       {u"", u"a", -1},            {u"\u0416", u"\u0436", -1},  // above U+00FF: exact
      {u"Mouse", u"Monitor", 1},
  };
  for (const auto& c : cases) {
    const int r = CompareListText(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << int(c.a.size());
  }
}

TEST(ListText, ColumnsLinesAndNumbers) {
  EXPECT_EQ(ColumnWidth({u"ab", u"abcd", u""}), 5u);
  EXPECT_EQ(ColumnWidth({}), 1u);
  EXPECT_EQ(Column(u"ab", 5), u"ab   ");
  EXPECT_EQ(Column(u"abcdef", 5), u"abcdef");
  EXPECT_EQ(JoinLines({u"a", u"b", u""}), u"a\r\nb\r\n");
  EXPECT_EQ(JoinLines({}), u"");
  EXPECT_EQ(HexColumn(0xAB, 4), u"00ab");
  EXPECT_EQ(HexDigitCount(0), 1u);
  EXPECT_EQ(HexDigitCount(0x1000), 4u);
  EXPECT_EQ(TrimBlanks(u"\t 1.2 \r\n"), u"1.2");
}

TEST(ListText, PriorityClasses) {
  const std::pair<std::int32_t, std::u16string> cases[] = {
      {0, u""},          {-1, u""},       {32, u"normal"},          {64, u"idle"},
      {128, u"high"},    {256, u"realtime"}, {0x4000, u"below normal"}, {0x8000, u"above normal"},
      {0x1234, u"$1234"}, {-2, u"$fffffffe"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(PriorityClassText(value), text) << value;
}
